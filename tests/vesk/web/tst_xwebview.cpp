#include "api/xjavascriptapi.h"
#include "loopbackhttpserver.h"
#include "page/xpagebinding.h"
#include "veskharness.h"
#include "web/xcookiejar.h"
#include "web/xwebpage.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QPointer>
#include <QWebFrame>
#include <QtTest>

#include <memory>

class TestXWebView : public QObject {
    Q_OBJECT

private:
    // Runs the script in the window's page and returns the popup it opened.
    static XWebView *openPopup(XWebWindow *opener, const QString &script);

private Q_SLOTS:
    void popupHasItsOwnApp();
    void popupClosesAndIsDeleted_data();
    void popupClosesAndIsDeleted();
    void popupTakesOpeningProperties();
    void popupFollowsLinks();
    void popupOfRemoteDocumentHasNoApp();
    void popupOfRemoteFrameHasNoApp();
    void openingPropertiesStayForLaterPopups();
    void consoleLine_data();
    void consoleLine();
    void viewWithoutApiOpensNoWindow();
    void userAgentOnEveryRequest();
    void cookiesNotSharedBetweenWindows();
    void localOnlyStopsRemoteLoads();
    void presetFileAnswersFileChooser();
};

XWebView *TestXWebView::openPopup(XWebWindow *opener, const QString &script)
{
    const QWidgetList before = QApplication::topLevelWidgets();
    VeskHarness::eval(opener->mainFrame(), script);
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!before.contains(w) && qobject_cast<XWebView *>(w))
                return static_cast<XWebView *>(w);
        }
        QTest::qWait(10);
    }
    return nullptr;
}

void TestXWebView::popupHasItsOwnApp()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"),
                "<html><body><script>function whoami(){return 'opener';}</script></body></html>");
    h.writePage(QStringLiteral("popup.html"),
                "<html><body><script>function whoami(){return 'popup';} window.seen = typeof app + typeof widget;"
                "</script></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QPointer<XWebView> popup = openPopup(w.get(), QStringLiteral("window.open('popup.html')"));
    QVERIFY(popup);
    if (popup->page()->mainFrame()->url().isEmpty() || popup->page()->mainFrame()->title().isNull())
        VeskHarness::waitForLoad(popup);
    QTRY_COMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("window.seen")).toString(),
                 QStringLiteral("objectobject"));
    QVERIFY(XPageBinding::of(popup)->apiObject());
    QVERIFY(XPageBinding::of(popup)->apiObject() != w->binding()->apiObject());
    // The popup's app calls into the popup's own page.
    QCOMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("app._call(['whoami'])")).toString(),
             QStringLiteral("popup"));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("app._call(['whoami'])")).toString(),
             QStringLiteral("opener"));
    delete popup;
}

void TestXWebView::popupClosesAndIsDeleted_data()
{
    QTest::addColumn<bool>("byScript");
    QTest::newRow("closed-by-user") << false;
    QTest::newRow("window-close-in-page") << true;
}

void TestXWebView::popupClosesAndIsDeleted()
{
    QFETCH(bool, byScript);
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    h.writePage(QStringLiteral("popup.html"), "<html><body>popup</body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QPointer<XWebView> popup = openPopup(w.get(), QStringLiteral("window.open('popup.html')"));
    QVERIFY(popup);
    QPointer<XJavaScriptAPI> api = XJavaScriptAPI::of(XPageBinding::of(popup));
    QPointer<XWebPage> page = popup->xpage();
    if (byScript)
        VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("window.close()"));
    else
        popup->close();
    QTRY_VERIFY(popup.isNull());
    QVERIFY(api.isNull());
    QVERIFY(page.isNull());
}

void TestXWebView::popupTakesOpeningProperties()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    w->setGeometry(100, 100, 700, 500);
    const QPoint openerPos = w->pos();
    QPointer<XWebView> popup = openPopup(
        w.get(), QStringLiteral("app._setOpeningWindowProperties('Chooser', 300, 200); window.open('about:blank')"));
    QVERIFY(popup);
    QCOMPARE(popup->windowTitle(), QStringLiteral("Chooser"));
    QCOMPARE(popup->size(), QSize(300, 200));
    QCOMPARE(w->pos(), openerPos);
    const QPoint popupCentre = popup->frameGeometry().center();
    const QPoint openerCentre = w->frameGeometry().center();
    QVERIFY2(qAbs(popupCentre.x() - openerCentre.x()) <= 2 && qAbs(popupCentre.y() - openerCentre.y()) <= 2,
             qPrintable(QStringLiteral("popup centre %1,%2 opener centre %3,%4")
                            .arg(popupCentre.x())
                            .arg(popupCentre.y())
                            .arg(openerCentre.x())
                            .arg(openerCentre.y())));
    // The empty document of a popup opened by a local page is the application's.
    QCOMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("typeof app")).toString(),
             QStringLiteral("object"));
    delete popup;
}

void TestXWebView::popupFollowsLinks()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    h.writePage(QStringLiteral("popup.html"),
                "<html><body><a id='next' href='next.html'>next</a><a id='say' href='app://alert/Hi/there'>say</a>"
                "</body></html>");
    h.writePage(QStringLiteral("next.html"), "<html><head><title>Next</title></head><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QPointer<XWebView> popup = openPopup(w.get(), QStringLiteral("window.open('popup.html')"));
    QVERIFY(popup);
    QWebFrame *frame = popup->page()->mainFrame();
    QTRY_VERIFY(VeskHarness::eval(frame, QStringLiteral("!!document.getElementById('say')")).toBool());
    h.answerDialogs();
    VeskHarness::eval(frame, QStringLiteral("document.getElementById('say').click()"));
    QTRY_COMPARE(h.dialogTexts(), QStringList {QStringLiteral("Info:Hithere")});
    VeskHarness::eval(frame, QStringLiteral("document.getElementById('next').click()"));
    QTRY_COMPARE(frame->title(), QStringLiteral("Next"));
    // The popup's next local page gets its objects again.
    QTRY_COMPARE(VeskHarness::eval(frame, QStringLiteral("typeof app.call")).toString(), QStringLiteral("function"));
    delete popup;
}

void TestXWebView::popupOfRemoteDocumentHasNoApp()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/remote.html"), "<html><body>remote</body></html>");
    std::unique_ptr<XWebWindow> w(h.openRemote(QUrl(server.url(QStringLiteral("/remote.html")))));
    QPointer<XWebView> popup = openPopup(w.get(), QStringLiteral("window.open('about:blank')"));
    QVERIFY(popup);
    QVERIFY(!XPageBinding::of(popup)->apiObject());
    QCOMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("typeof app")).toString(),
             QStringLiteral("undefined"));
    delete popup;
}

void TestXWebView::popupOfRemoteFrameHasNoApp()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/frame.html"),
                   "<html><body><script>function attack(){ var w = window.open('about:blank');"
                   " try { w.app.setWindowTitle('pwned'); return 'reached'; } catch (e) { return 'refused'; } }"
                   "</script></body></html>");
    h.writePage(QStringLiteral("init.html"),
                "<html><body><iframe src='" + server.url(QStringLiteral("/frame.html")).toUtf8()
                    + "'></iframe></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    w->setWindowTitle(QStringLiteral("mine"));
    QTRY_COMPARE(w->mainFrame()->childFrames().size(), 1);
    QWebFrame *frame = w->mainFrame()->childFrames().first();
    QTRY_VERIFY(VeskHarness::eval(frame, QStringLiteral("typeof attack")).toString() == QStringLiteral("function"));
    const QWidgetList before = QApplication::topLevelWidgets();
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("attack()")).toString(), QStringLiteral("refused"));
    QCOMPARE(w->windowTitle(), QStringLiteral("mine"));
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!before.contains(widget) && qobject_cast<XWebView *>(widget)) {
            auto *popup = static_cast<XWebView *>(widget);
            QCOMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("typeof app")).toString(),
                     QStringLiteral("undefined"));
            delete popup;
        }
    }
}

void TestXWebView::openingPropertiesStayForLaterPopups()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("app._setOpeningWindowProperties('Same', 320, 240)"));
    for (int i = 0; i < 2; ++i) {
        QPointer<XWebView> popup = openPopup(w.get(), QStringLiteral("window.open('about:blank')"));
        QVERIFY(popup);
        QCOMPARE(popup->windowTitle(), QStringLiteral("Same"));
        QCOMPARE(popup->size(), QSize(320, 240));
        delete popup;
    }
}

void TestXWebView::consoleLine_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "file:///a/init.html" << 3 << "hello"
                           << "file:///a/init.html:3: hello\n";
    QTest::newRow("no-source") << "" << 0 << "x"
                               << "(script):0: x\n";
    QTest::newRow("multi-line-and-tab") << "u" << 1 << "a\n\tb"
                                        << "u:1: a\n\tb\n";
    QTest::newRow("terminal-escape") << "u" << 1 << "\x1b[2J\x1b]0;title\x07"
                                     << QString::fromUtf16(u"u:1: \ufffd[2J\ufffd]0;title\ufffd\n");
    QTest::newRow("carriage-return") << "u" << 1 << "ok\rfake" << QString::fromUtf16(u"u:1: ok\ufffdfake\n");
    QTest::newRow("c1-control") << "u" << 1 << QString::fromUtf16(u"\u009b31m")
                                << QString::fromUtf16(u"u:1: \ufffd31m\n");
}

void TestXWebView::consoleLine()
{
    QFETCH(QString, source);
    QFETCH(int, line);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QCOMPARE(XWebPage::consoleLine(source, line, message), expected);
}

void TestXWebView::viewWithoutApiOpensNoWindow()
{
    VeskHarness h;
    XWebView view;
    view.setHtml(QStringLiteral("<html><body></body></html>"), QUrl(QStringLiteral("qrc:/")));
    const int before = QApplication::topLevelWidgets().size();
    VeskHarness::eval(view.page()->mainFrame(), QStringLiteral("window.open('about:blank')"));
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::topLevelWidgets().size(), before);
}

void TestXWebView::userAgentOnEveryRequest()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/page.html"), "<html><body><img src='/image.png'></body></html>");
    server.setPage(QStringLiteral("/image.png"), "x");
    XWebView view;
    view.load(QUrl(server.url(QStringLiteral("/page.html"))));
    QVERIFY(VeskHarness::waitForLoad(&view));
    QCOMPARE(server.header(QStringLiteral("/page.html"), "User-Agent"), XWebPage::userAgent().toLatin1());
    QTRY_COMPARE(server.header(QStringLiteral("/image.png"), "User-Agent"), XWebPage::userAgent().toLatin1());
    QCOMPARE(XWebPage::userAgent(),
             QStringLiteral("Mozilla/5.0 (Windows NT 6.3; rv:36.0) Gecko/20100101 Firefox/36.0"));
}

void TestXWebView::cookiesNotSharedBetweenWindows()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/set.html"), "<html><body>set</body></html>", {"Set-Cookie: session=abc; Path=/"});
    server.setPage(QStringLiteral("/get.html"), "<html><body>get</body></html>");
    XWebView first;
    XWebView second;
    first.load(QUrl(server.url(QStringLiteral("/set.html"))));
    QVERIFY(VeskHarness::waitForLoad(&first));
    QCOMPARE(first.cookieJar()->allCookies().size(), 1);

    first.load(QUrl(server.url(QStringLiteral("/get.html"))));
    QVERIFY(VeskHarness::waitForLoad(&first));
    QCOMPARE(server.header(QStringLiteral("/get.html"), "Cookie"), QByteArray("session=abc"));

    second.load(QUrl(server.url(QStringLiteral("/get.html"))));
    QVERIFY(VeskHarness::waitForLoad(&second));
    QCOMPARE(server.header(QStringLiteral("/get.html"), "Cookie"), QByteArray());
    QVERIFY(second.cookieJar()->allCookies().isEmpty());
}

void TestXWebView::localOnlyStopsRemoteLoads()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/remote.html"), "<html><head><title>Remote</title></head></html>");
    h.writePage(QStringLiteral("init.html"), "<html><head><title>Local</title></head><body></body></html>");
    h.writePage(QStringLiteral("other.html"), "<html><head><title>Other</title></head><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("app.setLocalOnly()"));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("var vesk={_exit:function(){return false;}};"));

    QSignalSpy started(w->view(), &QWebView::loadStarted);
    w->binding()->followLink(QUrl(server.url(QStringLiteral("/remote.html"))));
    QTRY_VERIFY(!started.isEmpty());
    QVERIFY(w->view()->lastLoadStopped());
    QCoreApplication::processEvents();
    QCOMPARE(w->mainFrame()->title(), QStringLiteral("Local"));
    QVERIFY(w->mainFrame()->url().isLocalFile());
    // The previous document stays, and with it its say over closing.
    QVERIFY(!w->close());

    w->load(QStringLiteral("other.html"));
    QVERIFY(VeskHarness::waitForLoad(w->view()));
    QCOMPARE(w->mainFrame()->title(), QStringLiteral("Other"));
}

void TestXWebView::presetFileAnswersFileChooser()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/frame.html"), "<html><body>remote</body></html>");
    h.writePage(QStringLiteral("init.html"), "<html><body><iframe src='"
                                                 + server.url(QStringLiteral("/frame.html")).toUtf8()
                                                 + "'></iframe></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QTRY_COMPARE(w->mainFrame()->childFrames().size(), 1);
    XWebPage *page = w->view()->xpage();
    const QString chosen = QStringLiteral("/tmp/chosen.txt");
    page->setPresetFile(chosen);
    // Every later chooser of the application's document gets it, without a dialog...
    QCOMPARE(page->presetFileFor(nullptr), chosen);
    QCOMPARE(page->presetFileFor(w->mainFrame()), chosen);
    // ...but never a remote frame, nor a remote document that takes over the page.
    QCOMPARE(page->presetFileFor(w->mainFrame()->childFrames().first()), QString());
    w->binding()->followLink(QUrl(server.url(QStringLiteral("/frame.html"))));
    QVERIFY(VeskHarness::waitForLoad(w->view()));
    QCOMPARE(page->presetFileFor(w->mainFrame()), QString());
}

QTEST_MAIN(TestXWebView)
#include "tst_xwebview.moc"
