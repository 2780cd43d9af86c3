#include "app/vesk.h"
#include "app/xappwatcher.h"
#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QWebFrame>
#include <QtTest>

// --watch: changes under app/ are reported once they settle, and pages reload.
class TestXAppWatcher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportsChanges_data();
    void reportsChanges();
    void reloadsEveryWindow();

private:
    static void write(const QString &path, const QByteArray &content);
};

void TestXAppWatcher::write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

void TestXAppWatcher::reportsChanges_data()
{
    // Each step is "action:path" (under app/); counts are the reports expected after each step.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("counts");
    QTest::newRow("file-edited") << QStringList {"write:init.html"} << QList<int> {1};
    QTest::newRow("burst-is-one-report") << QStringList {"burst:js/a.js"} << QList<int> {1};
    QTest::newRow("file-in-subfolder") << QStringList {"write:js/a.js", "write:js/a.js"} << QList<int> {1, 2};
    QTest::newRow("new-folder-then-file-in-it")
        << QStringList {"mkdir:new", "write:new/b.js", "write:new/b.js"} << QList<int> {1, 2, 3};
    QTest::newRow("saved-by-rename") << QStringList {"replace:init.html", "write:init.html"} << QList<int> {1, 2};
    QTest::newRow("removed") << QStringList {"remove:js/a.js"} << QList<int> {1};
    QTest::newRow("outside-app-ignored") << QStringList {"write:../config.ini", "write:../libs/x.so"}
                                         << QList<int> {0, 0};
}

void TestXAppWatcher::reportsChanges()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, counts);
    QTemporaryDir dir;
    const QString app = dir.path() + QStringLiteral("/app/");
    write(app + QStringLiteral("init.html"), "<html></html>");
    write(app + QStringLiteral("js/a.js"), "var a;");
    XAppWatcher watcher(app, 50);
    QSignalSpy spy(&watcher, &XAppWatcher::changed);
    for (int i = 0; i < steps.size(); ++i) {
        const QString action = steps[i].section(QLatin1Char(':'), 0, 0);
        const QString path = app + steps[i].section(QLatin1Char(':'), 1);
        if (action == QLatin1String("write")) {
            write(path, "changed " + QByteArray::number(i));
        } else if (action == QLatin1String("burst")) {
            for (int n = 0; n < 5; ++n)
                write(path, QByteArray::number(n));
        } else if (action == QLatin1String("mkdir")) {
            QVERIFY(QDir().mkpath(path));
        } else if (action == QLatin1String("replace")) {
            write(path + QStringLiteral(".new"), "replaced");
            QVERIFY(::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                             QFile::encodeName(path).constData())
                    == 0);
        } else if (action == QLatin1String("remove")) {
            QVERIFY(QFile::remove(path));
        }
        if (counts[i] > spy.count())
            QTRY_COMPARE(spy.count(), counts[i]);
        // Nothing more arrives for this step.
        QVERIFY(!spy.wait(300));
        QCOMPARE(spy.count(), counts[i]);
    }
}

void TestXAppWatcher::reloadsEveryWindow()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body>first</body></html>");
    h.writePage(QStringLiteral("second.html"), "<html><body>second</body></html>");
    Vesk vesk(QStringLiteral("/init.html"));
    QVERIFY(VeskHarness::waitForLoad(vesk.mainWindow()->view()) || vesk.mainWindow()->loadHasFinished());
    std::unique_ptr<XWebWindow> other(h.openWindow(QStringLiteral("/second.html")));
    vesk.watchApplication(50);
    auto text = [](XWebWindow *w) { return VeskHarness::eval(w->mainFrame(), "document.body.textContent").toString(); };
    QCOMPARE(text(vesk.mainWindow()), QStringLiteral("first"));

    h.writePage(QStringLiteral("init.html"), "<html><body>edited</body></html>");
    h.writePage(QStringLiteral("second.html"), "<html><body>edited too</body></html>");
    QTRY_COMPARE(text(vesk.mainWindow()), QStringLiteral("edited"));
    QTRY_COMPARE(text(other.get()), QStringLiteral("edited too"));
}

QTEST_MAIN(TestXAppWatcher)
#include "tst_xappwatcher.moc"
