#include "core/xsystemutil.h"

#include <QtTest>

#include <ctime>

// The pure logic behind the page's file, process and system utilities.
class TestXSystemUtil : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // UTC+3 without summer time: local dates are fixed whatever the machine.
        qputenv("TZ", "XYZ-3");
        tzset();
    }
    void taskbar_data();
    void taskbar();
    void localTime_data();
    void localTime();
    void hardwareAddress();
    void environmentValue_data();
    void environmentValue();
};

void TestXSystemUtil::taskbar_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("state");
    QTest::newRow("half-truncated") << 0.505 << 50 << 0 << 0;
    QTest::newRow("negative") << -1.0 << 0 << 1 << 1;
    QTest::newRow("above-one") << 7.0 << 100 << 2 << 2;
    QTest::newRow("small-negative-truncates-to-zero") << -0.009 << 0 << 3 << 4;
    QTest::newRow("not-a-number") << qQNaN() << 0 << 9 << 8;
    QTest::newRow("infinite") << qInf() << 100 << -1 << 8;
}

void TestXSystemUtil::taskbar()
{
    QFETCH(double, value);
    QFETCH(int, percent);
    QFETCH(int, type);
    QFETCH(int, state);
    QCOMPARE(XSystemUtil::taskbarPercent(value), percent);
    QCOMPARE(XSystemUtil::taskbarState(type), state);
}

void TestXSystemUtil::localTime_data()
{
    QTest::addColumn<QList<int>>("hmsMdy");
    QTest::addColumn<qint64>("secs");
    QTest::addColumn<QString>("formatted");
    QTest::newRow("epoch-in-utc+3") << QList<int> {3, 0, 0, 1, 1, 1970} << qint64(0) << "1970-01-01 03:00:00";
    QTest::newRow("after-2038") << QList<int> {3, 0, 0, 1, 1, 2040} << qint64(2208988800) << "2040-01-01 03:00:00";
    QTest::newRow("ordinary") << QList<int> {13, 45, 30, 6, 15, 2021} << qint64(1623753930) << "2021-06-15 13:45:30";
    QTest::newRow("before-epoch") << QList<int> {2, 59, 59, 1, 1, 1970} << qint64(-1) << "";
    QTest::newRow("month-13") << QList<int> {0, 0, 0, 13, 1, 2020} << qint64(-1) << "";
    QTest::newRow("hour-25") << QList<int> {25, 0, 0, 1, 1, 2020} << qint64(-1) << "";
    QTest::newRow("february-30") << QList<int> {0, 0, 0, 2, 30, 2020} << qint64(-1) << "";
}

void TestXSystemUtil::localTime()
{
    QFETCH(QList<int>, hmsMdy);
    QFETCH(qint64, secs);
    QFETCH(QString, formatted);
    QCOMPARE(XSystemUtil::localToEpoch(hmsMdy[0], hmsMdy[1], hmsMdy[2], hmsMdy[3], hmsMdy[4], hmsMdy[5]), secs);
    if (secs >= 0)
        QCOMPARE(XSystemUtil::formatLocal(QStringLiteral("yyyy-MM-dd hh:mm:ss"), secs), formatted);
    else
        QCOMPARE(XSystemUtil::formatLocal(QStringLiteral("yyyy"), secs), QString::number(QDate::currentDate().year()));
}

void TestXSystemUtil::hardwareAddress()
{
    const QList<XSystemUtil::Interface> list {{true, QStringLiteral("11:22:33:44:55:66")},
                                              {false, QString()},
                                              {false, QStringLiteral("00:00:00:00:00:00")},
                                              {false, QStringLiteral("52:54:00:AB:CD:EF")},
                                              {false, QStringLiteral("52:54:00:00:00:01")}};
    QCOMPARE(XSystemUtil::firstHardwareAddress(list), QStringLiteral("52:54:00:AB:CD:EF"));
    QCOMPARE(XSystemUtil::firstHardwareAddress(list.mid(0, 3)), QString());
}

void TestXSystemUtil::environmentValue_data()
{
    qputenv("VESK_TEST_SET", "a b=\"c\"");
    qputenv("VESK_TEST_EMPTY", "");
    qunsetenv("VESK_TEST_UNSET");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("set") << "VESK_TEST_SET" << QVariant(QStringLiteral("a b=\"c\""));
    QTest::newRow("set-but-empty") << "VESK_TEST_EMPTY" << QVariant(QString(""));
    QTest::newRow("unset") << "VESK_TEST_UNSET" << QVariant();
    QTest::newRow("empty-name") << "" << QVariant();
    QTest::newRow("name-with-equals") << "VESK_TEST_SET=a" << QVariant();
    QTest::newRow("name-with-nul") << QStringLiteral("VESK_TEST_SET") + QChar(0) << QVariant();
}

void TestXSystemUtil::environmentValue()
{
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    const QVariant got = XSystemUtil::environmentValue(name);
    QCOMPARE(got.isValid(), value.isValid());
    QCOMPARE(got.toString(), value.toString());
}

QTEST_GUILESS_MAIN(TestXSystemUtil)
#include "tst_xsystemutil.moc"
