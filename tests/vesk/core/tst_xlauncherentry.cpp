#include "core/xlauncherentry.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QtTest>

// The Update signal as a dock on the private session bus receives it.
class TestXLauncherEntry : public QObject {
    Q_OBJECT

public Q_SLOTS:
    void received(const QDBusMessage &message) { m_messages.append(message); }

private:
    QList<QDBusMessage> m_messages;

private Q_SLOTS:
    void desktopFileId_data();
    void desktopFileId();
    void update_data();
    void update();
};

void TestXLauncherEntry::desktopFileId_data()
{
    QTest::addColumn<QString>("manifestId");
    QTest::addColumn<QString>("desktopFileId");
    QTest::newRow("manifest id") << "notes" << "notes.desktop";
    QTest::newRow("none") << "" << "vesk.desktop";
    QTest::newRow("path") << "../notes" << "vesk.desktop";
    QTest::newRow("upper case") << "Notes" << "vesk.desktop";
}

void TestXLauncherEntry::desktopFileId()
{
    QFETCH(QString, manifestId);
    QFETCH(QString, desktopFileId);
    QCOMPARE(XLauncherEntry::desktopFileId(manifestId), desktopFileId);
}

void TestXLauncherEntry::update_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("completed");
    QTest::addColumn<int>("total");
    QTest::addColumn<double>("progress");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("urgent");
    QTest::newRow("normal half") << 2 << 50 << 100 << 0.5 << true << false;
    QTest::newRow("none") << 0 << 50 << 100 << 0.5 << false << false;
    QTest::newRow("busy has no amount") << 1 << 50 << 100 << 0.0 << true << false;
    QTest::newRow("error") << 4 << 30 << 100 << 0.3 << true << true;
    QTest::newRow("past the end") << 2 << 250 << 100 << 1.0 << true << false;
    QTest::newRow("no total") << 2 << 5 << 0 << 0.0 << true << false;
}

void TestXLauncherEntry::update()
{
    QFETCH(int, state);
    QFETCH(int, completed);
    QFETCH(int, total);
    QFETCH(double, progress);
    QFETCH(bool, visible);
    QFETCH(bool, urgent);
    if (!qEnvironmentVariableIsSet("VESK_TEST_BUS"))
        QSKIP("needs a private session bus: run through desktop-session.sh (ctest does)");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                        QStringLiteral("Update"), this, SLOT(received(QDBusMessage))));
    m_messages.clear();
    XLauncherEntry entry(bus);
    entry.setDesktopFileId(XLauncherEntry::desktopFileId(QStringLiteral("notes")));
    QVERIFY(entry.update(state, completed, total));
    QTRY_COMPARE(m_messages.size(), 1);
    const QDBusMessage message = m_messages.first();
    QCOMPARE(message.path(), QString::fromLatin1(XLauncherEntry::ObjectPath));
    QCOMPARE(message.arguments().at(0).toString(), QStringLiteral("application://notes.desktop"));
    QVariantMap properties;
    message.arguments().at(1).value<QDBusArgument>() >> properties;
    QCOMPARE(properties.value(QStringLiteral("progress")).toDouble(), progress);
    QCOMPARE(properties.value(QStringLiteral("progress-visible")).toBool(), visible);
    QCOMPARE(properties.value(QStringLiteral("urgent")).toBool(), urgent);
    bus.disconnect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"),
                   this, SLOT(received(QDBusMessage)));
}

QTEST_GUILESS_MAIN(TestXLauncherEntry)
#include "tst_xlauncherentry.moc"
