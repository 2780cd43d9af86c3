#include "core/xlauncherentry.h"

#include <QDBusConnection>
#include <QtTest>

// What the Update signal says (tst_trayandtaskbar sends it from a page over a bus).
class TestXLauncherEntry : public QObject {
    Q_OBJECT

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
    const QVariantMap properties = XLauncherEntry::properties(state, completed, total);
    QCOMPARE(properties.value(QStringLiteral("progress")).toDouble(), progress);
    QCOMPARE(properties.value(QStringLiteral("progress-visible")).toBool(), visible);
    QCOMPARE(properties.value(QStringLiteral("urgent")).toBool(), urgent);
    // Nowhere to send it: said so, nothing else happens.
    QVERIFY(!XLauncherEntry(QDBusConnection(QStringLiteral("not connected"))).update(state, completed, total));
}

QTEST_GUILESS_MAIN(TestXLauncherEntry)
#include "tst_xlauncherentry.moc"
