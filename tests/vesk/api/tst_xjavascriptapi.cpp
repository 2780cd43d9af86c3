#include "api/xjavascriptapi.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"
#include "xjsliteral.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWebFrame>
#include <QWebSettings>
#include <QtTest>

#include <memory>

static const QByteArray kPage = "<html><body><script>"
                                "function keep(){ window.got = Array.prototype.slice.call(arguments); return 'kept'; }"
                                "function whoami(){ return document.title; }"
                                "</script><title>first</title></body></html>";

class TestXJavaScriptAPI : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;

private Q_SLOTS:
    void init();
    void cleanup();
    void callArguments_data();
    void callArguments();
    void callDoesNotInject();
    void callEdgeCases_data();
    void callEdgeCases();
    void namedWindows();
    void newTopWindowAndActiveWindow();
    void unknownActiveWindow();
    void sizeAndPosition();
    void centring();
    void centringOverParent();
    void loadingIndicatorOnFirstDocument();
    void selectInputFile_data();
    void selectInputFile();
    void iframeImageLoading();
    void minimiseRestoresMaximised();
    void styleFlags_data();
    void styleFlags();
};

void TestXJavaScriptAPI::init()
{
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"), kPage);
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
}

void TestXJavaScriptAPI::cleanup()
{
    m_window.reset();
    m_harness.reset();
}

void TestXJavaScriptAPI::callArguments_data()
{
    // Each row: JavaScript arguments after the function name; they must arrive as written.
    QTest::addColumn<QString>("args");
    QTest::newRow("none") << "";
    QTest::newRow("number-and-string") << "1, 'x'";
    QTest::newRow("apostrophe") << "\"it's\"";
    QTest::newRow("backslash-n-in-path") << "'C:\\\\new\\\\table'";
    QTest::newRow("line-breaks") << "'a\\nb\\r\\nc'";
    QTest::newRow("line-separators") << "'a\\u2028b\\u2029c'";
    QTest::newRow("escaped-quote-in-data") << "'\\\\\\''";
    QTest::newRow("script-tag") << "'</script><b>'";
    QTest::newRow("non-ascii") << "'\\u017elu\\u0165ou\\u010dk\\u00fd \\u65e5\\ud83d\\ude00'";
    QTest::newRow("booleans-and-null") << "true, false, null";
    QTest::newRow("doubles") << "0.1, -2.5e-300, 1234567.5, 9007199254740993";
    QTest::newRow("nested-array") << "[1, [true, null]]";
    QTest::newRow("array-with-empty-string") << "['', 'a']";
    QTest::newRow("object") << "{'': {}, a: 'x', b: 1, \"it's\": [null]}";
    QTest::newRow("empty-containers") << "[], {}";
}

void TestXJavaScriptAPI::callArguments()
{
    QFETCH(QString, args);
    const QString sep = args.isEmpty() ? QString() : QStringLiteral(",");
    eval(QStringLiteral("window.got = undefined;"));
    const QVariant result = eval(QStringLiteral("app._call(['keep'") + sep + args + QStringLiteral("])"));
    QCOMPARE(result.toString(), QStringLiteral("kept"));
    QCOMPARE(eval(QStringLiteral("JSON.stringify(window.got)")).toString(),
             eval(QStringLiteral("JSON.stringify([") + args + QStringLiteral("])")).toString());
    // The injected helper goes through the same path and returns nothing.
    eval(QStringLiteral("window.got = undefined;"));
    QVERIFY(eval(QStringLiteral("app.call('keep'") + sep + args + QStringLiteral(") === undefined")).toBool());
    QCOMPARE(eval(QStringLiteral("JSON.stringify(window.got)")).toString(),
             eval(QStringLiteral("JSON.stringify([") + args + QStringLiteral("])")).toString());
}

void TestXJavaScriptAPI::callDoesNotInject()
{
    eval(QStringLiteral("window.injected = false;"));
    eval(QStringLiteral("app.call('keep', \"');injected=true;('\", \"\\\\');injected=true;//\")"));
    QCOMPARE(eval(QStringLiteral("window.injected")).toBool(), false);
    QCOMPARE(eval(QStringLiteral("window.got[1]")).toString(), QStringLiteral("\\');injected=true;//"));
    // (The engine refuses NaN and undefined inside the argument list before it reaches native code.)
    eval(QStringLiteral("app.call('keep', Infinity, -Infinity)"));
    QCOMPARE(eval(QStringLiteral("String(window.got)")).toString(), QStringLiteral("Infinity,-Infinity"));
    // Keys arrive in sorted order, each intact.
    eval(QStringLiteral("app.call('keep', {b: 1, a: 'x'})"));
    QCOMPARE(eval(QStringLiteral("Object.keys(window.got[0]).join()")).toString(), QStringLiteral("a,b"));
}

void TestXJavaScriptAPI::callEdgeCases_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    // An invalid result reaches the page as null.
    QTest::newRow("empty-list") << "String(app._call([]))"
                                << "null";
    QTest::newRow("name-past-end") << "String(app._call(['keep'], 3))"
                                   << "null";
    QTest::newRow("call-window-with-name-only") << "String(app._call(['editor'], 1))"
                                                << "null";
    QTest::newRow("number-as-name") << "String(app._call(['keep', 1], 1))"
                                    << "null";
    QTest::newRow("leave-first-zero") << "app._call(['whoami'], 0)"
                                      << "first";
    QTest::newRow("script-error-swallowed") << "String(app._call(['noSuchFunction']))"
                                            << "null";
    QTest::newRow("null-inside-result-stays-null")
        << "window.nulls = function(){ return {a: [1, null], b: null}; }; JSON.stringify(app._call(['nulls']))"
        << "{\"a\":[1,null],\"b\":null}";
    QTest::newRow("unknown-window-name") << "app._getWindowPointer('nobody')"
                                         << "";
    QTest::newRow("call-window-unknown-throws")
        << "(function(){try{app.callWindow('nobody','whoami');return 'no';}catch(e){return 'threw';}})()"
        << "threw";
    QTest::newRow("parent-of-top-window-throws")
        << "(function(){try{app.callParentWindow('whoami');return 'no';}catch(e){return 'threw';}})()"
        << "threw";
}

void TestXJavaScriptAPI::callEdgeCases()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QCOMPARE(eval(script).toString(), expected);
}

void TestXJavaScriptAPI::namedWindows()
{
    m_harness->writePage(QStringLiteral("second.html"),
                         "<html><head><title>second</title></head><body><script>"
                         "function add(a, b){ return a + b; } function echo(s){ return s; }</script></body></html>");
    m_harness->writePage(QStringLiteral("other.html"), "<html><body>other</body></html>");
    QCOMPARE(eval(QStringLiteral("app.newTopWindow('second.html', 'editor')")).toInt(), 1);
    const QString pointer = eval(QStringLiteral("app._getWindowPointer('editor')")).toString();
    QVERIFY(pointer.startsWith(QStringLiteral("winobj")));
    QCOMPARE(pointer.size(), 38);
    QTRY_COMPARE(eval(QStringLiteral("app.callWindow('editor', 'add', 2, 3)")).toInt(), 5);
    QCOMPARE(eval(QStringLiteral("app.callWindow('editor', 'echo', \"it's\\n\")")).toString(),
             QStringLiteral("it's\n"));
    QCOMPARE(eval(QStringLiteral("app.getWindow('editor')._call(['echo', 'direct'])")).toString(),
             QStringLiteral("direct"));
    QCOMPARE(eval(QStringLiteral("String(app.callWindow('editor'))")).toString(), QStringLiteral("null"));
    QCOMPARE(eval(QStringLiteral("JSON.stringify(app.callWindow('editor', 'echo', [1, null, {n: null}]))")).toString(),
             QStringLiteral("[1,null,{\"n\":null}]"));

    // The naming page moves on; the name still reaches the window.
    m_window->load(QStringLiteral("other.html"));
    QVERIFY(VeskHarness::waitForLoad(m_window->view()));
    QCOMPARE(eval(QStringLiteral("app.callWindow('editor', 'add', 'a', 'b')")).toString(), QStringLiteral("ab"));

    // An unnamed window gets no entry.
    QCOMPARE(eval(QStringLiteral("app.newTopWindow('')")).toInt(), 2);
    QCOMPARE(eval(QStringLiteral("app._getWindowPointer('')")).toString(), QString());
}

void TestXJavaScriptAPI::newTopWindowAndActiveWindow()
{
    QCOMPARE(eval(QStringLiteral("app.newTopWindow('')")).toInt(), 1);
    QCOMPARE(eval(QStringLiteral("app.newTopWindow('')")).toInt(), 2);
    QCOMPARE(eval(QStringLiteral("app.setActiveWindow(1)")).toInt(), 1);
    eval(QStringLiteral("app.setWindowTitle('Second window')"));
    QCOMPARE(eval(QStringLiteral("app.getWindowTitle()")).toString(), QStringLiteral("Second window"));
    QVERIFY(m_window->windowTitle() != QStringLiteral("Second window"));
    eval(QStringLiteral("app.setActiveWindow(0); app.setWindowTitle('Own')"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Own"));
    // A window made by newTopWindow is a modal dialog that has no page until given one.
    eval(QStringLiteral("app.setActiveWindow(1)"));
    QVERIFY(eval(QStringLiteral("app.isWindowModal()")).toBool());
    eval(QStringLiteral("app.setWindowModal(false)"));
    QVERIFY(!eval(QStringLiteral("app.isWindowModal()")).toBool());
    eval(QStringLiteral("app.hideWindow()"));
    QVERIFY(eval(QStringLiteral("app.getWindowTitle()")).toString() == QStringLiteral("Second window"));
    eval(QStringLiteral("app.showWindow()"));
    // A blank window has no page to ask, so it closes.
    const QWidgetList before = QApplication::topLevelWidgets();
    XWebWindow *blank = nullptr;
    for (QWidget *w : before) {
        if (w->windowTitle() == QStringLiteral("Second window"))
            blank = qobject_cast<XWebWindow *>(w);
    }
    QVERIFY(blank);
    QVERIFY(blank->isVisible());
    eval(QStringLiteral("app.hideWindow()"));
    QVERIFY(!blank->isVisible());
    eval(QStringLiteral("app.showWindow()"));
    QVERIFY(blank->isVisible());
    QPointer<XWebWindow> closed = blank;
    eval(QStringLiteral("app.closeWindow()"));
    QVERIFY(!blank->isVisible());
    // A closed window is deleted; its id then names no window.
    QTRY_VERIFY(closed.isNull());
    QCOMPARE(eval(QStringLiteral("app.getWindowTitle() + app.getWindowWidth()")).toString(), QStringLiteral("0"));
}

void TestXJavaScriptAPI::unknownActiveWindow()
{
    eval(QStringLiteral(
        "app.setActiveWindow(42); app.setWindowTitle('x'); app.setWindowSize(10, 10); app.closeWindow();"));
    QCOMPARE(eval(QStringLiteral("app.getWindowTitle()")).toString(), QString());
    QCOMPARE(eval(QStringLiteral("app.getWindowWidth() + app.getWindowPositionX()")).toInt(), 0);
    QCOMPARE(eval(QStringLiteral("app.isWindowMaximized() || app.isWindowModal()")).toBool(), false);
    QVERIFY(m_window->isVisible());
}

void TestXJavaScriptAPI::sizeAndPosition()
{
    eval(QStringLiteral("app.setWindowMaximized(false); app.setWindowSize(420, 310); app.setWindowPosition(30, 40);"));
    QCOMPARE(eval(QStringLiteral("[app.getWindowWidth(), app.getWindowHeight()].join()")).toString(),
             QStringLiteral("420,310"));
    QCOMPARE(eval(QStringLiteral("[app.getWindowPositionX(), app.getWindowPositionY()].join()")).toString(),
             QStringLiteral("30,40"));
    eval(QStringLiteral("app.setWindowWidth(500); app.setWindowHeight(200)"));
    QCOMPARE(m_window->size(), QSize(500, 200));
}

void TestXJavaScriptAPI::centring()
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    eval(QStringLiteral("app.setWindowMaximized(false); app.setWindowSize(200, 100); app.setWindowPosition(7, 9);"));
    eval(QStringLiteral("app.centerWindowPosition(false, false)"));
    QCOMPARE(m_window->pos(), QPoint(7, 9));
    eval(QStringLiteral("app.centerWindowPosition(true, false)"));
    QCOMPARE(m_window->pos(), QPoint(7, (screen.height() - 100) / 2));
    eval(QStringLiteral("app.centerWindowPosition(true, true)"));
    QCOMPARE(m_window->pos(), QPoint((screen.width() - 200) / 2, (screen.height() - 100) / 2));
}

void TestXJavaScriptAPI::centringOverParent()
{
    // A window of its own parent is centred over it; a top-level window over the screen.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    eval(QStringLiteral("app.setWindowMaximized(false); app.setWindowSize(200, 100); app.setWindowPosition(7, 9);"));
    eval(QStringLiteral("app.centerWindowPositionAccordingParent(true, true)"));
    QCOMPARE(m_window->pos(), QPoint((screen.width() - 200) / 2, (screen.height() - 100) / 2));

    XWebWindow child(m_window.get(), XWebWindow::Modal);
    m_window->setGeometry(100, 50, 600, 400);
    child.resize(200, 100);
    child.move(0, 0);
    XJavaScriptAPI::of(&child)->centerWindowPositionAccordingParent(true, false);
    QCOMPARE(child.pos(), QPoint(0, m_window->y() + (m_window->height() - 100) / 2));
    XJavaScriptAPI::of(&child)->centerWindowPositionAccordingParent(true, true);
    QCOMPARE(child.pos(), QPoint(m_window->x() + (m_window->width() - 200) / 2, m_window->y() + 150));
    // The child finds its parent's API object, and the parent the child's.
    QCOMPARE(
        VeskHarness::eval(child.mainFrame(), QStringLiteral("typeof winobj_parentdf6a416gd5ad5fgh46._call")).toString(),
        QStringLiteral("function"));
    QCOMPARE(eval(QStringLiteral("typeof ") + child.objectName()).toString(), QStringLiteral("object"));
}

void TestXJavaScriptAPI::loadingIndicatorOnFirstDocument()
{
    // Set once, on the document the new API object found; a new window starts empty.
    XWebWindow fresh;
    QCOMPARE(VeskHarness::eval(fresh.mainFrame(), QStringLiteral("typeof app.showLoading + typeof app.hideLoading"))
                 .toString(),
             QStringLiteral("functionfunction"));
}

void TestXJavaScriptAPI::selectInputFile_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("iframe");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("found") << "#file"
                           << ""
                           << "Info:existuje!"
                           << "photo.jpg";
    QTest::newRow("not-found") << "#nothing"
                               << ""
                               << "Info:nenalezen!"
                               << "";
    QTest::newRow("in-frame") << "#inner"
                              << "box"
                              << "Info:existuje!"
                              << "photo.jpg";
    QTest::newRow("unknown-frame") << "#inner"
                                   << "nobox"
                                   << "Info:nenalezen!"
                                   << "";
}

void TestXJavaScriptAPI::selectInputFile()
{
    QFETCH(QString, selector);
    QFETCH(QString, iframe);
    QFETCH(QString, message);
    QFETCH(QString, chosen);
    QTemporaryDir files;
    const QString file = files.filePath(QStringLiteral("photo.jpg"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("jpeg");
    f.close();
    m_harness->writePage(QStringLiteral("frame.html"), "<html><body><input type='file' id='inner'></body></html>");
    m_harness->writePage(QStringLiteral("form.html"),
                         "<html><body><input type='file' id='file'><iframe name='box' src='frame.html'></iframe>"
                         "</body></html>");
    m_window->load(QStringLiteral("form.html"));
    QVERIFY(VeskHarness::waitForLoad(m_window->view()));
    QTRY_COMPARE(m_window->mainFrame()->childFrames().size(), 1);
    m_harness->answerDialogs();
    eval(QStringLiteral("app.selectInputFile(%1, %2, %3)")
             .arg(XJsLiteral::fromString(selector), XJsLiteral::fromString(file), XJsLiteral::fromString(iframe)));
    QCOMPARE(m_harness->dialogTexts(), QStringList {message});
    QWebFrame *frame = iframe.isEmpty() ? m_window->mainFrame() : m_window->mainFrame()->childFrames().first();
    const QString expr =
        QStringLiteral("(document.querySelector(%1) || {value: ''}).value").arg(XJsLiteral::fromString(selector));
    if (chosen.isEmpty()) {
        QCoreApplication::processEvents();
        QCOMPARE(VeskHarness::eval(frame, expr).toString(), QString());
    } else {
        QTRY_VERIFY(VeskHarness::eval(frame, expr).toString().endsWith(chosen));
    }
}

void TestXJavaScriptAPI::iframeImageLoading()
{
    m_harness->writePage(QStringLiteral("frame.html"), "<html><body>frame</body></html>");
    m_harness->writePage(QStringLiteral("frames.html"),
                         "<html><body><iframe name='pics' src='frame.html'></iframe></body></html>");
    m_window->load(QStringLiteral("frames.html"));
    QVERIFY(VeskHarness::waitForLoad(m_window->view()));
    QTRY_COMPARE(m_window->mainFrame()->childFrames().size(), 1);
    QWebSettings *settings = m_window->view()->page()->settings();
    eval(QStringLiteral("app.iframeAutoloadImages('pics', false)"));
    QVERIFY(!settings->testAttribute(QWebSettings::AutoLoadImages));
    eval(QStringLiteral("app.iframeAutoloadImages('nope', true)"));
    QVERIFY(!settings->testAttribute(QWebSettings::AutoLoadImages));
    eval(QStringLiteral("app.iframeFakeTop('pics')"));
    QVERIFY(settings->testAttribute(QWebSettings::AutoLoadImages));
    QCOMPARE(m_window->mainFrame()->childFrames().first()->parent(), nullptr);
}

void TestXJavaScriptAPI::minimiseRestoresMaximised()
{
    eval(QStringLiteral("app.setWindowMaximized(true)"));
    QVERIFY(eval(QStringLiteral("app.isWindowMaximized()")).toBool());
    eval(QStringLiteral("app.setWindowMinimized(true)"));
    QVERIFY(eval(QStringLiteral("app.isWindowMinimized()")).toBool());
    eval(QStringLiteral("app.setWindowMinimized(false)"));
    QVERIFY(eval(QStringLiteral("app.isWindowMaximized()")).toBool());

    eval(QStringLiteral("app.setWindowMaximized(false); app.setWindowMinimized(true); app.setWindowMinimized(false)"));
    QVERIFY(!eval(QStringLiteral("app.isWindowMaximized() || app.isWindowMinimized()")).toBool());
}

void TestXJavaScriptAPI::styleFlags_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("expected");
    QTest::newRow("caption-without-title") << "app.setWindowHintShowCaption(false)"
                                           << int(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint
                                                  | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    QTest::newRow("type-after-caption-is-plain")
        << "app.setWindowHintShowCaption(false); app.setWindowTypeTool()" << int(Qt::Tool);
    QTest::newRow("dialog-on-top") << "app.setWindowTypeDialog(); app.setWindowHintOnTop(true)"
                                   << int(Qt::Dialog | Qt::WindowStaysOnTopHint);
    QTest::newRow("frameless-window") << "app.setWindowHintFrameless(true)"
                                      << int(Qt::Window | Qt::FramelessWindowHint);
}

void TestXJavaScriptAPI::styleFlags()
{
    QFETCH(QString, script);
    QFETCH(int, expected);
    eval(script);
    // The platform may add decorations of its own; the type and the hints asked for must be there.
    const int flags = int(m_window->windowFlags());
    QCOMPARE(flags & int(Qt::WindowType_Mask), expected & int(Qt::WindowType_Mask));
    QCOMPARE(flags & expected, expected);
    QVERIFY(m_window->isVisible());
}

QTEST_MAIN(TestXJavaScriptAPI)
#include "tst_xjavascriptapi.moc"
