#include "api/xjavascriptapi.h"
#include "core/xlauncherentry.h"
#include "veskharness.h"
#include "window/xtrayicon.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// The tray icon in a real tray (trayer under Xvfb) and taskbar progress on a
// private session bus, both driven by a page; desktop-session.sh sets them up.
class TestTrayAndTaskbar : public QObject {
    Q_OBJECT

public Q_SLOTS:
    void received(const QDBusMessage &message) { m_updates.append(message); }

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    XTrayIcon *tray() const { return m_window->findChild<XTrayIcon *>(); }
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;
    QList<QDBusMessage> m_updates;

private Q_SLOTS:
    void init();
    void cleanup();
    void trayIcon();
    void trayMenu_data();
    void trayMenu();
    void taskbarProgress();
    void notifyFallsBackToTray();
};

void TestTrayAndTaskbar::init()
{
    m_harness.reset(new VeskHarness);
    QImage image(22, 22, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(QStringLiteral("app/tray.png")));
    m_harness->writePage(QStringLiteral("t.html"), "<html><body><script>var calls = [];"
                                                   "function tray() { calls.push('tray'); }"
                                                   "function a() { calls.push('a'); }"
                                                   "function b() { calls.push('b'); }</script></body></html>");
    m_window.reset(m_harness->openWindow(QStringLiteral("/t.html")));
}

void TestTrayAndTaskbar::cleanup()
{
    m_window.reset();
    m_harness.reset();
}

void TestTrayAndTaskbar::trayIcon()
{
    if (!qEnvironmentVariableIsSet("VESK_TEST_TRAY"))
        QSKIP("needs trayer under Xvfb: run through desktop-session.sh (ctest does)");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    QCOMPARE(eval(QStringLiteral("app.setTrayIcon('missing.png', 'tip', 'tray')")).toBool(), false);
    QVERIFY(!tray());
    QCOMPARE(eval(QStringLiteral("app.setTrayIcon('app/tray.png', 'Vesk test', 'tray')")).toBool(), true);
    QPointer<XTrayIcon> icon = tray();
    QVERIFY(icon);
    QVERIFY(icon->icon()->isVisible());
    QCOMPARE(icon->icon()->toolTip(), QStringLiteral("Vesk test"));

    // The icon is embedded in the tray: a click on it there reaches the page.
    QTRY_VERIFY_WITH_TIMEOUT(!icon->icon()->geometry().isEmpty(), 10000);
    QWidget *embedded = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        embedded = w->inherits("QSystemTrayIconSys") ? w : embedded;
    QVERIFY(embedded);
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                QString::number(embedded->winId()), QStringLiteral("11"), QStringLiteral("11"),
                                QStringLiteral("click"), QStringLiteral("1")}),
             0);
    QTRY_COMPARE(eval(QStringLiteral("calls.join()")).toString(), QStringLiteral("tray"));

    // Gone with the window that made it.
    m_window.reset();
    QVERIFY(!icon);
}

void TestTrayAndTaskbar::trayMenu_data()
{
    QTest::addColumn<QString>("entries");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("entries") << "[{text: 'A', onClick: 'a'}, {separator: true}, {text: 'B', onClick: 'b'},"
                                " {text: 'Off', enabled: false}, {text: 'Bad icon', icon: 'none.png'}]"
                             << true << QStringList{"A", "", "B", "Off", "Bad icon"};
    QTest::newRow("empty list") << "[]" << true << QStringList();
    QTest::newRow("not a list") << "'A'" << false << QStringList{"old"};
    QTest::newRow("not entries") << "[1, 2]" << false << QStringList{"old"};
    QTest::newRow("too many") << "(function () { var l = []; for (var i = 0; i < 257; ++i) l.push({text: 'x'}); return l; })()" << false << QStringList{"old"};
}

void TestTrayAndTaskbar::trayMenu()
{
    QFETCH(QString, entries);
    QFETCH(bool, accepted);
    QFETCH(QStringList, texts);
    QCOMPARE(eval(QStringLiteral("app.setTrayMenu([{text: 'old'}])")).toBool(), false);
    eval(QStringLiteral("app.setTrayIcon('app/tray.png', 'tip')"));
    QVERIFY(tray());
    QCOMPARE(eval(QStringLiteral("app.setTrayMenu([{text: 'old'}])")).toBool(), true);
    QCOMPARE(eval(QStringLiteral("app.setTrayMenu(%1)").arg(entries)).toBool(), accepted);
    QStringList shown;
    const QList<QAction *> actions = tray()->menu() ? tray()->menu()->actions() : QList<QAction *>();
    for (QAction *action : actions)
        shown << action->text();
    QCOMPARE(shown, texts);
    if (texts.size() < 3)
        return;
    QVERIFY(!actions.at(3)->isEnabled());
    QVERIFY(actions.at(4)->icon().isNull());
    actions.at(2)->trigger();
    actions.at(0)->trigger();
    QCOMPARE(eval(QStringLiteral("calls.join()")).toString(), QStringLiteral("b,a"));
}

void TestTrayAndTaskbar::taskbarProgress()
{
    if (!qEnvironmentVariableIsSet("VESK_TEST_BUS"))
        QSKIP("needs a private session bus: run through desktop-session.sh (ctest does)");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                        QStringLiteral("Update"), this, SLOT(received(QDBusMessage))));
    // The manifest's id becomes the application's name.
    QCoreApplication::setApplicationName(QStringLiteral("notes"));
    eval(QStringLiteral("app.setTaskbarProgressType(2); app.setTaskbarProgressValue(0.25)"));
    QTRY_COMPARE(m_updates.size(), 2);
    QCOMPARE(m_updates.last().path(), QString::fromLatin1(XLauncherEntry::ObjectPath));
    QCOMPARE(m_updates.last().arguments().at(0).toString(),
             QStringLiteral("application://notes.desktop"));
    QVariantMap properties;
    m_updates.last().arguments().at(1).value<QDBusArgument>() >> properties;
    QCOMPARE(properties.value(QStringLiteral("progress")).toDouble(), 0.25);
    QCOMPARE(properties.value(QStringLiteral("progress-visible")).toBool(), true);
    // A closed window takes its progress off the dock.
    m_window.reset();
    QTRY_COMPARE(m_updates.size(), 3);
    m_updates.last().arguments().at(1).value<QDBusArgument>() >> properties;
    QCOMPARE(properties.value(QStringLiteral("progress-visible")).toBool(), false);
}

void TestTrayAndTaskbar::notifyFallsBackToTray()
{
    if (!qEnvironmentVariableIsSet("VESK_TEST_TRAY") || qEnvironmentVariableIsSet("VESK_TEST_DUNST"))
        QSKIP("needs a tray and no notification service: desktop-session.sh --without-dunst (ctest does)");
    QCOMPARE(eval(QStringLiteral("app.notify('Nowhere', 'b', '', 'a', 'b')")).toBool(), false);
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    QVERIFY(eval(QStringLiteral("app.setTrayIcon('app/tray.png', 'tip')")).toBool());
    QVERIFY(eval(QStringLiteral("app.notify('First', 'b', '', 'tray', 'b')")).toBool());
    QVERIFY(eval(QStringLiteral("app.notify('Second', 'b', '', 'a', 'b')")).toBool());
    // The second message replaced the first, which counts as closed.
    QCOMPARE(eval(QStringLiteral("calls.join()")).toString(), QStringLiteral("b"));
    QWidget *balloon = nullptr;
    QTRY_VERIFY([&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            balloon = w->inherits("QBalloonTip") && w->isVisible() ? w : balloon;
        return balloon != nullptr;
    }());
    QVERIFY(QTest::qWaitForWindowExposed(balloon));
    const QPoint inside = balloon->mapToGlobal(QPoint(20, 20));
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("mousemove"), QString::number(inside.x()), QString::number(inside.y()),
                                QStringLiteral("click"), QStringLiteral("1")}),
             0);
    QTRY_COMPARE(eval(QStringLiteral("calls.join()")).toString(), QStringLiteral("b,a"));
}

QTEST_MAIN(TestTrayAndTaskbar)
#include "tst_trayandtaskbar.moc"
