#include "app/vesk.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTcpServer>
#include <QtTest>

#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Runs the real program the way a user does.
class TestVesk : public QObject {
    Q_OBJECT

private:
    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    static Run runVesk(const QStringList &arguments, const QString &workdir = QString(),
                       const QStringList &environment = {});

private Q_SLOTS:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void missingApplication();
    void screenshotOfStartPage();
    void screenshotWhenLoadNeverEnds();
    void screenshotWaitsForReady();
    void helpWithoutDisplay();
    void pageExitCode_data();
    void pageExitCode();
    void consoleMessagesOnStderr();
    void settingsSurviveRestart();
    void settingsFromEveryWindow();
    void manifestAndWebStorage();
    void reportedOnTerminal_data();
    void reportedOnTerminal();
    void settingsAcrossRealRestart();
    void reloadStartsFromEmptyMenuBar();
    void singleInstance();
    void windowRemembered_data();
    void windowRemembered();
};

// An application folder with app/init.html and, when given, app/vesk.json.
static void writeApplication(const QString &dir, const QByteArray &page, const QByteArray &manifest = QByteArray())
{
    QDir(dir).mkpath(QStringLiteral("app"));
    QFile init(dir + QStringLiteral("/app/init.html"));
    if (init.open(QIODevice::WriteOnly))
        init.write(page);
    if (manifest.isNull())
        return;
    QFile json(dir + QStringLiteral("/app/vesk.json"));
    if (json.open(QIODevice::WriteOnly))
        json.write(manifest);
}

void TestVesk::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

TestVesk::Run TestVesk::runVesk(const QStringList &arguments, const QString &workdir, const QStringList &environment)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Web storage of the runs stays out of the user's data folder.
    static QTemporaryDir data;
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    for (const QString &pair : environment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    if (!workdir.isEmpty())
        process.setWorkingDirectory(workdir);
    process.start(QStringLiteral(VESK_BINARY), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

void TestVesk::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("expectedOut");
    QTest::addColumn<QByteArray>("expectedErr");
    QTest::newRow("help") << QStringList {"--help"} << 0 << QByteArray("--workdir") << QByteArray();
    QTest::newRow("version") << QStringList {"--version"} << 0 << QByteArray("vesk ") << QByteArray();
    QTest::newRow("unknown-option") << QStringList {"--nope"} << 2 << QByteArray() << QByteArray("nope");
    QTest::newRow("missing-workdir") << QStringList {"--workdir", "/nonexistent/dir"} << 2 << QByteArray()
                                     << QByteArray("/nonexistent/dir");
    QTest::newRow("screenshot-unwritable") << QStringList {"--screenshot", "/nonexistent/dir/s.png"} << 2 << QByteArray()
                                           << QByteArray("/nonexistent/dir/s.png: the folder does not exist");
    QTest::newRow("bad-origin") << QStringList {"--trust-origin", "nohost"} << 2 << QByteArray()
                                << QByteArray("nohost");
}

void TestVesk::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, expectedOut);
    QFETCH(QByteArray, expectedErr);
    const Run run = runVesk(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(expectedOut), run.out.constData());
    QVERIFY2(run.err.contains(expectedErr), run.err.constData());
}

void TestVesk::missingApplication()
{
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    const Run run = runVesk({QStringLiteral("--workdir"), dir.path(), QStringLiteral("--screenshot"), shot});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains((dir.path() + QStringLiteral("/app/init.html")).toLocal8Bit()), run.err.constData());
    QVERIFY(run.err.contains("does not exist"));
    QVERIFY(!QImage(shot).isNull());
}

void TestVesk::screenshotOfStartPage()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body style='background:#ff0000;margin:0'></body></html>");
    page.close();
    // Relative to where vesk was started, not to --workdir.
    const Run run = runVesk(
        {QStringLiteral("--workdir"), dir.path(), QStringLiteral("--screenshot"), QStringLiteral("relative.png")},
        dir.path() + QStringLiteral("/app"));
    QCOMPARE(run.exitCode, 0);
    const QImage image(dir.filePath(QStringLiteral("app/relative.png")));
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::red));
}

void TestVesk::screenshotWhenLoadNeverEnds()
{
    // A server that takes the connection and never answers keeps the page loading.
    QTcpServer stall;
    QVERIFY(stall.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body>waiting<img src='http://127.0.0.1:" + QByteArray::number(stall.serverPort())
               + "/never.png'></body></html>");
    page.close();
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    const Run run = runVesk({QStringLiteral("--workdir"), dir.path(), QStringLiteral("--screenshot"), shot}, QString(),
                            {QStringLiteral("VESK_SCREENSHOT_WAIT_MS=1000")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!QImage(shot).isNull());
}

void TestVesk::screenshotWaitsForReady()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body style='background:#0000ff;margin:0'><script src='qrc:/vesk.js'></script><script>"
               "setTimeout(function () { document.body.style.background = '#ff0000'; vesk.ready(); }, 700);"
               "</script></body></html>");
    page.close();
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    const QStringList arguments {QStringLiteral("--workdir"), dir.path(), QStringLiteral("--screenshot"), shot,
                                 QStringLiteral("--screenshot-wait")};
    Run run = runVesk(arguments);
    QCOMPARE(run.exitCode, 0);
    QImage image(shot);
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::red));

    // A page that never says it is ready is taken at the time limit, and the terminal says why.
    QVERIFY(page.open(QIODevice::WriteOnly | QIODevice::Truncate));
    page.write("<html><body style='background:#0000ff;margin:0'></body></html>");
    page.close();
    QFile::remove(shot);
    run = runVesk(arguments, QString(), {QStringLiteral("VESK_SCREENSHOT_WAIT_MS=1000")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains("did not call vesk.ready()"), run.err.constData());
    image = QImage(shot);
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::blue));
}

void TestVesk::helpWithoutDisplay()
{
    // With the X11 platform and no display, making a widget application would abort.
    const QStringList noDisplay {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY="),
                                 QStringLiteral("WAYLAND_DISPLAY=")};
    Run run = runVesk({QStringLiteral("--help")}, QString(), noDisplay);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("--screenshot-wait"), run.err.constData());
    run = runVesk({QStringLiteral("--version")}, QString(), noDisplay);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith("vesk "));
}

void TestVesk::pageExitCode_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("exit-with-code") << QByteArray("app.exit(7);") << 7;
    QTest::newRow("exit-default-zero") << QByteArray("app.exit();") << 0;
    QTest::newRow("close-confirmed") << QByteArray(
        "var vesk={_exit:function(){}}; setTimeout(function(){app.closeWindow();}, 0);")
                                     << 0;
}

void TestVesk::pageExitCode()
{
    QFETCH(QByteArray, script);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body><script>" + script + "</script></body></html>");
    page.close();
    const Run run = runVesk({QStringLiteral("--workdir"), dir.path()});
    QCOMPARE(run.exitCode, exitCode);
}

void TestVesk::consoleMessagesOnStderr()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body>\n<script>\nconsole.log('hello from the page');\nnoSuchFunction();\n</script>\n"
               "<script>console.info('args', app.getArguments(), 1, {k: [true, null]}, '%d%%', 5);\n"
               "function nested() { console.error('in', 'function'); }\nnested();</script>\n"
               // An untrusted document gets no wrapped console: its first argument, made harmless.
               "<iframe src=\"data:text/html,<script>console.log('untrusted\\x1b[2J', 'second')</script>\" "
               "onload='setTimeout(function () { app.exit(0); }, 0)'></iframe></body></html>");
    page.close();
    const Run run = runVesk({QStringLiteral("--workdir"), dir.path(), QStringLiteral("--"), QStringLiteral("a"),
                             QStringLiteral("b \"c\"")});
    QCOMPARE(run.exitCode, 0);
    const QByteArray url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("app/init.html"))).toString().toLocal8Bit();
    QVERIFY2(run.err.contains(url + ":3: hello from the page"), run.err.constData());
    QVERIFY2(run.err.contains(url + ":4: ReferenceError"), run.err.constData());
    QVERIFY2(run.err.contains(url + ":6: args [\"a\",\"b \\\"c\\\"\"] 1 {\"k\":[true,null]} %d%% 5"),
             run.err.constData());
    QVERIFY2(run.err.contains(url + ":7: in function"), run.err.constData());
    QVERIFY2(run.err.contains(": untrusted"), run.err.constData());
    QVERIFY(!run.err.contains('\x1b'));
    QVERIFY(!run.err.contains("untrusted second"));
}

void TestVesk::settingsSurviveRestart()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    {
        Vesk vesk(QStringLiteral("/init.html"));
        QCOMPARE(vesk.setting(QStringLiteral("missing"), 5).toInt(), 5);
        vesk.setSetting(QStringLiteral("answer"), 42);
        vesk.setSetting(QStringLiteral("text"), QStringLiteral("it's \"quoted\"\n"));
    }
    QVERIFY(QFile::exists(h.path() + QStringLiteral("/config.ini")));
    Vesk again(QStringLiteral("/init.html"));
    QCOMPARE(again.setting(QStringLiteral("answer"), 0).toInt(), 42);
    QCOMPARE(again.setting(QStringLiteral("text"), QString()).toString(), QStringLiteral("it's \"quoted\"\n"));
}

void TestVesk::settingsFromEveryWindow()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    h.writePage(QStringLiteral("popup.html"), "<html><body></body></html>");
    {
        // Without the application object there is no settings file: defaults only.
        std::unique_ptr<XWebWindow> alone(h.openWindow(QStringLiteral("/init.html")));
        QCOMPARE(VeskHarness::eval(alone->mainFrame(),
                                   QStringLiteral("app.setSettings('k', 1); "
                                                  "app.getSettings('k', 'default')")),
                 QVariant(QStringLiteral("default")));
    }
    {
        Vesk vesk(QStringLiteral("/init.html"));
        QWebFrame *main = vesk.mainWindow()->mainFrame();
        QVERIFY(VeskHarness::waitForLoad(vesk.mainWindow()->view()) || vesk.mainWindow()->loadHasFinished());
        VeskHarness::eval(main,
                          QStringLiteral("app.setSettings('fromMain', 'uložit \"'); "
                                         "app.setSettings('list', [1, 'a'])"));
        // A popup and a window of its own reach the same store.
        const QWidgetList before = QApplication::topLevelWidgets();
        VeskHarness::eval(main, QStringLiteral("window.open('popup.html')"));
        XWebView *popup = nullptr;
        QTRY_VERIFY((popup = [&before]() -> XWebView * {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (!before.contains(w) && qobject_cast<XWebView *>(w))
                    return static_cast<XWebView *>(w);
            }
            return nullptr;
        }()));
        QTRY_VERIFY(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("typeof app")).toString()
                    == QLatin1String("object"));
        QCOMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("app.getSettings('fromMain')")),
                 QVariant(QStringLiteral("uložit \"")));
        VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("app.setSettings('fromPopup', 7)"));
        VeskHarness::eval(main, QStringLiteral("app.newTopWindow('/init.html', 'top')"));
        QCOMPARE(VeskHarness::eval(main,
                                   QStringLiteral("[app.getSettings('missing') == null, "
                                                  "app.getSettings('missing', 3)].join()")),
                 QVariant(QStringLiteral("true,3")));
    }
    Vesk again(QStringLiteral("/init.html"));
    QVERIFY(VeskHarness::waitForLoad(again.mainWindow()->view()) || again.mainWindow()->loadHasFinished());
    QCOMPARE(VeskHarness::eval(again.mainWindow()->mainFrame(),
                               QStringLiteral("JSON.stringify([app.getSettings('fromMain'), app.getSettings('list'),"
                                              " app.getSettings('fromPopup')])")),
             QVariant(QStringLiteral("[\"uložit \\\"\",[1,\"a\"],7]")));
}

void TestVesk::manifestAndWebStorage()
{
    QTemporaryDir data;
    QTemporaryDir first;
    QTemporaryDir other;
    const QStringList env {QStringLiteral("XDG_DATA_HOME=") + data.path()};
    // Reports what the page sees, then counts one more start in each kind of web storage.
    const QByteArray page = R"(<html><head><title>from the page</title></head><body><script>
var n = Number(localStorage.getItem('starts') || 0);
localStorage.setItem('starts', String(n + 1));
var db = openDatabase('counts', '1', 'counts', 1024 * 1024);
db.transaction(function (t) {
  t.executeSql('CREATE TABLE IF NOT EXISTS c (n)');
  t.executeSql('SELECT count(*) AS k FROM c', [], function (t, r) {
    var k = r.rows.item(0).k;
    t.executeSql('INSERT INTO c VALUES (1)', [], function () { counted(n, k); });
  });
}, function (e) { console.log('sql failed ' + e.message); app.exit(3); });
function counted(n, k) {
  var open = indexedDB.open('counts', 1);
  open.onupgradeneeded = function () { open.result.createObjectStore('c'); };
  open.onsuccess = function () {
    var tx = open.result.transaction('c', 'readwrite');
    var get = tx.objectStore('c').get('n');
    get.onsuccess = function () { tx.objectStore('c').put((get.result || 0) + 1, 'n'); };
    tx.oncomplete = function () {
      console.log('seen ' + [n, k, get.result || 0, app.getDirAppData(), app.getWindowTitle(),
                             app.getWindowWidth(), app.getWindowHeight()].join('|'));
      app.exit(0);
    };
  };
}
</script></body></html>)";
    writeApplication(first.path(), page,
                     R"({"id": "counter-app", "name": "Counter", "unknown": 1,
                         "window": {"title": "Counting", "width": 640, "height": 480}})");
    writeApplication(other.path(), page);
    const QString dataDir = data.path() + QStringLiteral("/counter-app");
    const QByteArray tail = "|" + dataDir.toLocal8Bit() + "|Counting|640|480";
    for (const QByteArray &expected : {QByteArray("seen 0|0|0"), QByteArray("seen 1|1|1")}) {
        const Run run = runVesk({QStringLiteral("--workdir"), first.path()}, QString(), env);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(expected + tail), run.err.constData());
        QVERIFY2(!run.err.contains("vesk: "), run.err.constData());
    }
    QVERIFY(QFileInfo(dataDir + QStringLiteral("/web-storage/LocalStorage")).isDir());
    // Another application (here one without an id) shares none of it.
    const Run run = runVesk({QStringLiteral("--workdir"), other.path()}, QString(), env);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains("seen 0|0|0|" + data.path().toLocal8Bit() + "/vesk|"), run.err.constData());
}

void TestVesk::reportedOnTerminal_data()
{
    QTest::addColumn<QByteArray>("manifest"); // null: none
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("times");
    const QByteArray exit("app.exit(0);");
    QTest::newRow("manifest-not-json") << QByteArray("{id: notes}") << exit << QByteArray("not valid JSON") << 1;
    QTest::newRow("manifest-array") << QByteArray("[]") << exit << QByteArray("not a JSON object") << 1;
    QTest::newRow("manifest-bad-id") << QByteArray(R"({"id": "../x", "name": "Kept"})")
                                     << QByteArray("console.log('title=' + app.getWindowTitle()); app.exit(0);")
                                     << QByteArray("\"id\" ignored") << 1;
    QTest::newRow("manifest-missing-icon") << QByteArray(R"({"icon": "none.png"})") << exit
                                           << QByteArray("none.png: the manifest's icon is not a readable image") << 1;
    QTest::newRow("settings-unwritable")
        << QByteArray() << QByteArray("for (var i = 0; i < 100; i++) app.setSettings('k' + i, i); app.exit(0);")
        << QByteArray("vesk: settings cannot be saved: ") << 1;
    QTest::newRow("database-unopenable")
        << QByteArray() << QByteArray("app.dbConnect('/nonexistent/folder/x.db', 'a'); app.exit(0);")
        << QByteArray("vesk: dbConnect: cannot open /nonexistent/folder/x.db: ") << 1;
    QTest::newRow("database-name-cannot-drive-terminal")
        << QByteArray() << QByteArray("app.dbConnect('/nonexistent/\\u001b[2Jx.db'); app.exit(0);")
        << QByteArray("[2Jx.db: ") << 1;
}

void TestVesk::reportedOnTerminal()
{
    QFETCH(QByteArray, manifest);
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, expected);
    QFETCH(int, times);
    QTemporaryDir dir;
    QTemporaryDir data;
    writeApplication(dir.path(), "<html><body><script>" + script + "</script></body></html>", manifest);
    // A folder where config.ini should be: not writable, even for root.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("config.ini")));
    const Run run = runVesk({QStringLiteral("--workdir"), dir.path()}, QString(),
                            {QStringLiteral("XDG_DATA_HOME=") + data.path()});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.count(expected) == times, run.err.constData());
    QVERIFY(!run.err.contains('\x1b'));
    if (QByteArray(QTest::currentDataTag()) == "manifest-bad-id")
        QVERIFY2(run.err.contains("title=Kept"), run.err.constData());
}

void TestVesk::settingsAcrossRealRestart()
{
    // Within one process the settings library keeps what was written; only a new process reads the file.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    auto runPage = [&dir](const QByteArray &script) {
        QFile page(dir.filePath(QStringLiteral("app/init.html")));
        if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return Run();
        page.write("<html><body><script src='qrc:/vesk.js'></script><script>" + script
                   + "setTimeout(function () { app.exit(0); }, 0);</script></body></html>");
        page.close();
        return runVesk({QStringLiteral("--workdir"), dir.path()});
    };
    QCOMPARE(runPage("app.setSettings('plain', 160); app.setSettings('off', false);"
                     "vesk.settings.set('typed', {n: 160, off: false, s: '160', q: 'a,\\\"b\\\"\\n@c', "
                     "when: new Date(0)}); vesk.settings.set('none', undefined);")
                 .exitCode,
             0);
    const Run run = runPage("console.log(JSON.stringify([app.getSettings('plain'), app.getSettings('off'),"
                            " vesk.settings.get('typed'), vesk.settings.get('none', 1), vesk.settings.get('missing', 2),"
                            " vesk.settings.get('off')]));");
    QCOMPARE(run.exitCode, 0);
    const QByteArray expected = ": [\"160\",\"false\",{\"n\":160,\"off\":false,\"s\":\"160\",\"q\":\"a,\\\"b\\\"\\n@c\","
                                "\"when\":\"1970-01-01T00:00:00.000Z\"},null,2,false]";
    QVERIFY2(run.err.contains(expected), run.err.constData());
}

void TestVesk::reloadStartsFromEmptyMenuBar()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"),
                "<html><body><script>app.addMenu('file', 'File'); app.switchMenu('file');"
                "app._addMenuAction('open', 'Open', 'f'); app.addMenuSeparator('sep'); app.switchMenu();"
                "app._addMenuAction('top', 'Top', 'f');</script></body></html>");
    Vesk vesk(QStringLiteral("/init.html"));
    XWebWindow *window = vesk.mainWindow();
    QVERIFY(VeskHarness::waitForLoad(window->view()) || window->loadHasFinished());
    QCOMPARE(window->menuBar()->actions().size(), 2);
    for (int round = 0; round < 2; ++round) {
        QSignalSpy loaded(window->view(), &QWebView::loadFinished);
        Vesk::reloadAllPages();
        QVERIFY(loaded.wait(10000));
        QCOMPARE(window->menuBar()->actions().size(), 2);
        QVERIFY(window->menu(QStringLiteral("file")));
        QCOMPARE(window->menu(QStringLiteral("file"))->actions().size(), 2);
    }
}

// Two real starts of one application: the second hands over and ends; a socket
// left by a crash and peers that send garbage or nothing do not stand in the way.
void TestVesk::singleInstance()
{
    QTemporaryDir dir;
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeApplication(dir.path(), R"(<script>
function second(start) { console.log('second ' + JSON.stringify(start)); app.exit(0); }
console.log('listening ' + app.setSecondInstanceHandler('second'));
</script>)",
                     R"({"id": "one-only", "singleInstance": true})");
    const QString socket = runtime.path() + QStringLiteral("/vesk-one-only.socket");
    // What a crash leaves: a socket file that nobody listens on.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socket).constData(), sizeof address.sun_path);
    QCOMPARE(::bind(stale, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(stale);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(VESK_BINARY), {QStringLiteral("--workdir"), dir.path()});
    QByteArray seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen += first.readAllStandardError()).contains("listening true"), 30000);

    QLocalSocket silent;
    silent.connectToServer(socket);
    QVERIFY(silent.waitForConnected(2000));
    QLocalSocket hostile;
    hostile.connectToServer(socket);
    QVERIFY(hostile.waitForConnected(2000));
    hostile.write(QByteArray("\xff\xff\xff\xff{}"));
    QTRY_COMPARE(hostile.state(), QLocalSocket::UnconnectedState);

    const Run second = runVesk({QStringLiteral("--workdir"), dir.path(), QStringLiteral("--"), QStringLiteral("a b"),
                                QStringLiteral("\"c\"")},
                               QString(), {QStringLiteral("XDG_RUNTIME_DIR=") + runtime.path()});
    QCOMPARE(second.exitCode, 0);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitCode(), 0);
    seen += first.readAllStandardError();
    const QByteArray expected = "second {\"arguments\":[\"a b\",\"\\\"c\\\"\"],\"workdir\":\""
        + QFileInfo(dir.path()).canonicalFilePath().toUtf8() + "\"}";
    QVERIFY2(seen.contains(expected), seen.constData());
    // The first start's socket went with it: the next start runs itself.
    QVERIFY(!QFileInfo::exists(socket));
}

void TestVesk::windowRemembered_data()
{
    // Null: written by a first run whose window closes at 50,60 700x500.
    QTest::addColumn<QByteArray>("state");
    // "kept", "centred" (the saved size, centred on the primary screen) or
    // "defaults" (the manifest's 640x480).
    QTest::addColumn<QString>("placed");
    QTest::addColumn<bool>("maximized");

    QTest::newRow("saved-and-restored") << QByteArray() << "kept" << false;
    QTest::newRow("maximized") << QByteArray(R"({"x":20,"y":30,"width":600,"height":400,"maximized":true})")
                               << "kept" << true;
    QTest::newRow("off-screen-position-ignored")
        << QByteArray(R"({"x":-50000,"y":90000,"width":600,"height":400,"maximized":false})") << "centred" << false;
    QTest::newRow("corrupt") << QByteArray(R"({"x":20,"y":)") << "defaults" << false;
}

void TestVesk::windowRemembered()
{
    QFETCH(QByteArray, state);
    QFETCH(QString, placed);
    QFETCH(bool, maximized);
    // The data folder of test mode, named after the manifest's id.
    const QString oldName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("remembering"));
    const QString file = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                         + QStringLiteral("/window.json");
    QFile::remove(file);
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body><script src='qrc:/vesk.js'></script></body></html>");
    h.writePage(QStringLiteral("vesk.json"), R"({"id": "remembering", "rememberWindow": true,
                                                "window": {"width": 640, "height": 480}})");
    const QRect saved(50, 60, 700, 500);
    if (state.isNull()) {
        Vesk first(QStringLiteral("/init.html"));
        QVERIFY(VeskHarness::waitForLoad(first.mainWindow()->view()) || first.mainWindow()->loadHasFinished());
        first.mainWindow()->setGeometry(saved);
        QVERIFY(first.mainWindow()->close());
        QVERIFY(QFileInfo(file).isFile());
    } else {
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(state) == state.size());
    }
    {
        Vesk second(QStringLiteral("/init.html"));
        XWebWindow *window = second.mainWindow();
        QCOMPARE(window->isMaximized(), maximized);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QRect expected = state.isNull() ? saved : QRect(20, 30, 600, 400);
        if (placed == QLatin1String("centred"))
            expected.moveCenter(screen.center());
        else if (placed == QLatin1String("defaults"))
            expected = QRect(window->normalGeometry().topLeft(), QSize(640, 480));
        if (!maximized)
            QCOMPARE(window->normalGeometry(), expected);
    }
    // Kept in the data folder only.
    QFile config(h.path() + QStringLiteral("/config.ini"));
    if (config.open(QIODevice::ReadOnly))
        QVERIFY(!config.readAll().contains("width"));
    QFile::remove(file);
    QCoreApplication::setApplicationName(oldName);
}

QTEST_MAIN(TestVesk)
#include "tst_vesk.moc"
