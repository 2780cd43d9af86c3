#include "core/xdesktopnotifier.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// Notifications through a real notification service (dunst) on a private bus,
// set up by desktop-session.sh.
class TestNotifications : public QObject {
    Q_OBJECT

private:
    static QByteArray dunstctl(const QStringList &arguments);
    // What dunst showed under the id: closes what is shown so it reaches the history.
    static QJsonObject received(uint id);
    std::unique_ptr<VeskHarness> m_harness;

private Q_SLOTS:
    void init();
    void cleanup();
    void fromClass_data();
    void fromClass();
    void manyInARow();
    void clickReachesPage_data();
    void clickReachesPage();
    void untrustedGetsNothing();
};

QByteArray TestNotifications::dunstctl(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("dunstctl"), arguments);
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

static QString field(const QJsonValue &notification, const char *name)
{
    const QJsonValue v = notification.toObject().value(QLatin1String(name)).toObject().value(QLatin1String("data"));
    return v.isDouble() ? QString::number(v.toInt()) : v.toString();
}

QJsonObject TestNotifications::received(uint id)
{
    dunstctl({QStringLiteral("close-all")});
    QTest::qWait(200);
    const QJsonObject history = QJsonDocument::fromJson(dunstctl({QStringLiteral("history")})).object();
    const QJsonArray shown = history.value(QLatin1String("data")).toArray().first().toArray();
    for (const QJsonValue &n : shown) {
        if (field(n, "id") == QString::number(id))
            return n.toObject();
    }
    return QJsonObject();
}

void TestNotifications::init()
{
    if (!qEnvironmentVariableIsSet("VESK_TEST_DUNST"))
        QSKIP("needs dunst on a private session bus: run through desktop-session.sh (ctest does)");
    dunstctl({QStringLiteral("close-all")});
    m_harness.reset(new VeskHarness);
}

void TestNotifications::cleanup()
{
    m_harness.reset();
}

void TestNotifications::fromClass_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("shownTitle");
    QTest::addColumn<bool>("iconShown");

    QTest::newRow("plain") << "Done" << "Report written" << "icon.png" << "Done" << true;
    QTest::newRow("missing icon") << "Done" << "b" << "nothing.png" << "Done" << false;
    QTest::newRow("folder as icon") << "Done" << "b" << "." << "Done" << false;
    QTest::newRow("huge title") << QString(100000, QLatin1Char('t')) << "b" << ""
                                << QString(XDesktopNotifier::MaxTitle - 1, QLatin1Char('t')) + QChar(0x2026) << false;
}

void TestNotifications::fromClass()
{
    QFETCH(QString, title);
    QFETCH(QString, body);
    QFETCH(QString, icon);
    QFETCH(QString, shownTitle);
    QFETCH(bool, iconShown);
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(QStringLiteral("icon.png")));

    XDesktopNotifier notifier(QDBusConnection::sessionBus());
    QVERIFY(notifier.isAvailable());
    QSignalSpy closed(&notifier, &XDesktopNotifier::closed);
    const uint id = notifier.notify(title, body, icon);
    QVERIFY(id != 0);
    QVERIFY(notifier.isTracked(id));
    const QJsonObject shown = received(id);
    QVERIFY(!shown.isEmpty());
    QCOMPARE(field(shown, "summary"), shownTitle);
    QCOMPARE(field(shown, "body"), body);
    QCOMPARE(!field(shown, "icon_path").isEmpty(), iconShown);
    // Closing reaches the class, which forgets the id.
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(closed.at(0).at(0).toUInt(), id);
    QVERIFY(!notifier.isTracked(id));

    XDesktopNotifier nowhere(QDBusConnection(QStringLiteral("not connected")));
    QCOMPARE(nowhere.notify(title, body, icon), 0u);
}

void TestNotifications::manyInARow()
{
    XDesktopNotifier notifier(QDBusConnection::sessionBus());
    QSignalSpy closed(&notifier, &XDesktopNotifier::closed);
    const int count = XDesktopNotifier::MaxTracked + 44;
    uint first = 0;
    for (int i = 0; i < count; ++i) {
        const uint id = notifier.notify(QStringLiteral("n%1").arg(i), QString(), QString());
        QVERIFY(id != 0);
        if (!first)
            first = id;
    }
    // The oldest are forgotten, and said to be, so their callbacks can go.
    QCOMPARE(notifier.trackedCount(), int(XDesktopNotifier::MaxTracked));
    QCOMPARE(closed.count(), 44);
    QCOMPARE(closed.at(0).at(0).toUInt(), first);
    dunstctl({QStringLiteral("close-all")});
    QTRY_COMPARE(notifier.trackedCount(), 0);
}

void TestNotifications::clickReachesPage_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("title");

    QTest::newRow("app.notify") << "app.notify('Upload', 'done', '', 'clicked', 'closed')"
                                << "Upload";
    QTest::newRow("Notification") << "Notification.requestPermission(function (p) { window.permission = p; });"
                                     "var n = new Notification('Engine', { body: 'hello' });"
                                     "n.onclick = clicked; n.onclose = closed; true"
                                  << "Engine";
    QTest::newRow("Notification unasked") << "var n = new Notification('Direct'); n.onclick = clicked; Notification.permission" << "Direct";
    QTest::newRow("vesk.notify") << "vesk.notify('Promise', 'x').then(function (c) { if (c) clicked(); }); true"
                                 << "Promise";
}

void TestNotifications::clickReachesPage()
{
    QFETCH(QString, script);
    QFETCH(QString, title);
    m_harness->writePage(QStringLiteral("n.html"), "<html><body><script src='qrc:/vesk.js'></script>"
                                                   "<script>var clicks = 0, closes = 0;"
                                                   "function clicked() { ++clicks; }"
                                                   "function closed() { ++closes; }</script></body></html>");
    std::unique_ptr<XWebWindow> window(m_harness->openWindow(QStringLiteral("/n.html")));
    QCOMPARE(VeskHarness::eval(window->mainFrame(), script).toBool(), true);
    QTRY_COMPARE(dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed(), QByteArray("1"));
    dunstctl({QStringLiteral("action"), QStringLiteral("0")});
    QTRY_COMPARE(VeskHarness::eval(window->mainFrame(), QStringLiteral("clicks")).toInt(), 1);
    QCOMPARE(VeskHarness::eval(window->mainFrame(), QStringLiteral("vesk.liveCallbacks().length")).toInt(), 0);
    dunstctl({QStringLiteral("close-all")});
    QTest::qWait(200);
    QJsonObject history = QJsonDocument::fromJson(dunstctl({QStringLiteral("history")})).object();
    const QJsonValue newest = history.value(QLatin1String("data")).toArray().first().toArray().first();
    QCOMPARE(field(newest, "summary"), title);
    QCOMPARE(VeskHarness::eval(window->mainFrame(), QStringLiteral("clicks")).toInt(), 1);
}

void TestNotifications::untrustedGetsNothing()
{
    // A local file outside app/ has the engine's one local origin, which the
    // application's page was granted, in the same window.
    QFile foreign(m_harness->path() + QStringLiteral("/report.html"));
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("<html><body><script>new Notification('Foreign');"
                  "Notification.requestPermission(function () { new Notification('Asked'); });"
                  "</script></body></html>");
    foreign.close();
    m_harness->writePage(QStringLiteral("n.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> window(m_harness->openWindow(QStringLiteral("/n.html")));
    window->view()->load(QUrl::fromLocalFile(foreign.fileName()));
    QVERIFY(VeskHarness::waitForLoad(window->view()));
    QTest::qWait(500);
    QCOMPARE(dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed(), QByteArray("0"));
    QCOMPARE(VeskHarness::eval(window->mainFrame(), QStringLiteral("typeof app")).toString(), QStringLiteral("undefined"));
    // Its asking changed nothing for the application's page.
    window->load(QStringLiteral("/n.html"));
    QVERIFY(VeskHarness::waitForLoad(window->view()));
    VeskHarness::eval(window->mainFrame(), QStringLiteral("new Notification('Still')"));
    QTRY_COMPARE(dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed(), QByteArray("1"));
}

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
