#include "api/xjavascriptapi.h"
#include "core/xtrustpolicy.h"
#include "loopbackhttpserver.h"
#include "page/xpagebinding.h"
#include "veskharness.h"
#include "web/xwebsettings.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QProcess>
#include <QTcpServer>
#include <QWebFrame>
#include <QtTest>

#include <memory>

class TestXWebWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void closeContract_data();
    void closeContract();
    void windowWithoutPageCloses();
    void alertLink_data();
    void alertLink();
    void linksLoadInSameWindow();
    void bridgeAfterNavigation();
    void remoteDocumentGetsNoApi();
    void trustedOriginGetsApi();
    void remoteDocumentCannotUseAppLinks();
    void appLinksInFrames_data();
    void appLinksInFrames();
    void remoteNavigationToBlankGetsNoApi();
    void firstRealDocumentIsJudgedAgain_data();
    void firstRealDocumentIsJudgedAgain();
    void closeContractSurvivesStoppedLoad();
    void callBacksStopAtUntrustedDocuments();
};

void TestXWebWindow::cleanup()
{
    XTrustPolicy::setTrustedOrigins({});
    XWebSettings::applyGlobal();
}

void TestXWebWindow::closeContract_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("closes");
    QTest::newRow("no-vesk-object") << QByteArray("") << false;
    QTest::newRow("exit-returns-false") << QByteArray("var vesk={_exit:function(){return false;}};") << false;
    QTest::newRow("exit-returns-true") << QByteArray("var vesk={_exit:function(){return true;}};") << true;
    QTest::newRow("exit-returns-undefined") << QByteArray("var vesk={_exit:function(){}};") << true;
    QTest::newRow("exit-returns-zero") << QByteArray("var vesk={_exit:function(){return 0;}};") << true;
    QTest::newRow("exit-throws") << QByteArray("var vesk={_exit:function(){throw 1;}};") << false;
    // vesk.js answers the question itself: it closes unless onClose says false.
    const QByteArray veskJs = "</script><script src='qrc:/vesk.js'></script><script>";
    QTest::newRow("vesk-js-without-onclose") << veskJs << true;
    QTest::newRow("vesk-js-onclose-false") << veskJs + "vesk.onClose(function(){return false;});" << false;
    QTest::newRow("vesk-js-onclose-assigned-false") << veskJs + "vesk.onClose = function(){return false;};" << false;
    QTest::newRow("vesk-js-onclose-true") << veskJs + "vesk.onClose(function(){return true;});" << true;
    QTest::newRow("vesk-js-onclose-throws") << veskJs + "vesk.onClose(function(){throw 1;});" << true;
    QTest::newRow("vesk-js-keeps-page-exit") << "var vesk={_exit:function(){return false;}};" + veskJs << false;
}

void TestXWebWindow::closeContract()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, closes);
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body><script>" + script + "</script></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QVERIFY(w->isVisible());
    QCOMPARE(w->close(), closes);
    QCOMPARE(w->isVisible(), !closes);
}

void TestXWebWindow::windowWithoutPageCloses()
{
    VeskHarness h;
    // A start page that does not exist: nobody can confirm, so the user must be able to close.
    std::unique_ptr<XWebWindow> missing(h.openWindow(QStringLiteral("/nothing-here.html")));
    QVERIFY(missing->close());
    // A blank window that never loaded anything.
    std::unique_ptr<XWebWindow> blank(new XWebWindow(nullptr, XWebWindow::Modal));
    QVERIFY(blank->close());
}

void TestXWebWindow::alertLink_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("segments-joined") << "app://alert/Hello/World" << QStringList {"Info:HelloWorld"};
    QTest::newRow("empty-alert") << "app://alert" << QStringList {"Info:"};
    QTest::newRow("unknown-verb-nothing") << "app://other/x" << QStringList {};
}

void TestXWebWindow::alertLink()
{
    QFETCH(QString, href);
    QFETCH(QStringList, expected);
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body><a id='l' href='" + href.toUtf8() + "'>x</a></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    h.answerDialogs();
    w->binding()->followLink(QUrl(href));
    QCOMPARE(h.dialogTexts(), expected);
    QCOMPARE(w->mainFrame()->url().fileName(), QStringLiteral("init.html"));
}

void TestXWebWindow::linksLoadInSameWindow()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body><a id='l' href='second.html'>next</a></body></html>");
    h.writePage(QStringLiteral("second.html"), "<html><head><title>Second</title></head><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QSignalSpy loaded(w->view(), &QWebView::loadFinished);
    // A real click goes through the page's link delegation to the window.
    VeskHarness::eval(w->mainFrame(), QStringLiteral("document.getElementById('l').click()"));
    QVERIFY(loaded.wait());
    QCOMPARE(w->mainFrame()->title(), QStringLiteral("Second"));
}

void TestXWebWindow::bridgeAfterNavigation()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body>one</body></html>");
    h.writePage(QStringLiteral("two.html"), "<html><body>two</body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    const QString probe =
        QStringLiteral("[typeof app, typeof widget, typeof app.call, typeof app.callWindow, typeof app.getWindow,"
                       " typeof app.callParentWindow, typeof app.getParentWindow, typeof app._call].join(',')");
    const QString expected = QStringLiteral("object,object,function,function,function,function,function,function");
    QCOMPARE(VeskHarness::eval(w->mainFrame(), probe).toString(), expected);
    w->load(QStringLiteral("two.html"));
    QVERIFY(VeskHarness::waitForLoad(w->view()));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), probe).toString(), expected);
}

void TestXWebWindow::remoteDocumentGetsNoApi()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/remote.html"),
                   "<html><body><script>window.seen = typeof app + ',' + typeof widget;</script></body></html>");
    h.writePage(QStringLiteral("init.html"), "<html><body>local</body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("typeof app")).toString(), QStringLiteral("object"));
    w->binding()->followLink(QUrl(server.url(QStringLiteral("/remote.html"))));
    QVERIFY(VeskHarness::waitForLoad(w->view()));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("window.seen")).toString(),
             QStringLiteral("undefined,undefined"));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("typeof app")).toString(), QStringLiteral("undefined"));
    // A remote document cannot keep the user from closing its window.
    VeskHarness::eval(w->mainFrame(), QStringLiteral("var vesk={_exit:function(){return false;}};"));
    QVERIFY(w->close());
}

void TestXWebWindow::trustedOriginGetsApi()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/mine.html"),
                   "<html><body><a id='l' href='app://alert/Hi'>x</a>"
                   "<script>window.seen = typeof app;</script></body></html>");
    XTrustPolicy::setTrustedOrigins({server.url(QString())});
    XWebSettings::applyGlobal();
    std::unique_ptr<XWebWindow> w(h.openRemote(QUrl(server.url(QStringLiteral("/mine.html")))));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("window.seen")).toString(), QStringLiteral("object"));
    // Its app:// links work as in local pages.
    h.answerDialogs();
    VeskHarness::eval(w->mainFrame(), QStringLiteral("document.getElementById('l').click()"));
    QTRY_COMPARE(h.dialogTexts(), QStringList {QStringLiteral("Info:Hi")});
}

void TestXWebWindow::remoteDocumentCannotUseAppLinks()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/remote.html"), "<html><body><a href='app://alert/pwned'>x</a></body></html>");
    std::unique_ptr<XWebWindow> w(h.openRemote(QUrl(server.url(QStringLiteral("/remote.html")))));
    h.answerDialogs();
    w->binding()->followLink(QUrl(QStringLiteral("app://alert/pwned")));
    QCOMPARE(h.dialogTexts(), QStringList());
}

void TestXWebWindow::appLinksInFrames_data()
{
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("local-frame") << false << QStringList {"Info:fromframe"};
    QTest::newRow("remote-frame") << true << QStringList {};
}

void TestXWebWindow::appLinksInFrames()
{
    QFETCH(bool, remote);
    QFETCH(QStringList, expected);
    VeskHarness h;
    LoopbackHttpServer server;
    const QByteArray frameBody =
        "<html><body><a id='l' href='app://alert/from/frame' target='_top'>x</a></body></html>";
    server.setPage(QStringLiteral("/frame.html"), frameBody);
    h.writePage(QStringLiteral("frame.html"), frameBody);
    const QByteArray src = remote ? server.url(QStringLiteral("/frame.html")).toUtf8() : QByteArray("frame.html");
    h.writePage(QStringLiteral("init.html"), "<html><body><iframe name='f' src='" + src + "'></iframe></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QTRY_COMPARE(w->mainFrame()->childFrames().size(), 1);
    QWebFrame *frame = w->mainFrame()->childFrames().first();
    QTRY_VERIFY(VeskHarness::eval(frame, QStringLiteral("!!document.getElementById('l')")).toBool());
    h.answerDialogs();
    VeskHarness::eval(frame, QStringLiteral("document.getElementById('l').click()"));
    QCoreApplication::processEvents();
    QCOMPARE(h.dialogTexts(), expected);
}

void TestXWebWindow::remoteNavigationToBlankGetsNoApi()
{
    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/remote.html"), "<html><body>remote</body></html>");
    std::unique_ptr<XWebWindow> w(h.openRemote(QUrl(server.url(QStringLiteral("/remote.html")))));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("location = 'about:blank'"));
    QTRY_COMPARE(w->mainFrame()->url().toString(), QStringLiteral("about:blank"));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("typeof app")).toString(), QStringLiteral("undefined"));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("var vesk={_exit:function(){return false;}};"));
    QVERIFY(w->close());
}

void TestXWebWindow::firstRealDocumentIsJudgedAgain_data()
{
    // How an untrusted document arrives in a frame whose empty document had the objects.
    QTest::addColumn<QString>("how");
    QTest::newRow("popup-opened-on-remote-url") << "popup";
    QTest::newRow("new-window-sent-to-remote-url") << "window";
    QTest::newRow("new-window-sent-to-data-url") << "data";
}

void TestXWebWindow::firstRealDocumentIsJudgedAgain()
{
    QFETCH(QString, how);
    VeskHarness h;
    LoopbackHttpServer server;
    const QByteArray probe = "<html><body><script>window.seen = [typeof app, typeof widget, typeof "
                             "winobj_parentdf6a416gd5ad5fgh46, typeof app === 'object' && typeof "
                             "app.showLoading].join();</script></body></html>";
    server.setPage(QStringLiteral("/remote.html"), probe);
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    const QString remote = server.url(QStringLiteral("/remote.html"));

    const QWidgetList before = QApplication::topLevelWidgets();
    QWebView *target = nullptr;
    if (how == QLatin1String("popup")) {
        VeskHarness::eval(w->mainFrame(), QStringLiteral("window.open('%1')").arg(remote));
    } else {
        VeskHarness::eval(w->mainFrame(), QStringLiteral("app.newTopWindow('', 'w')"));
    }
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!before.contains(widget))
            target = qobject_cast<QWebView *>(widget) ? qobject_cast<QWebView *>(widget)
                                                       : widget->findChild<QWebView *>();
    }
    QVERIFY(target);
    QPointer<QWidget> top = target->window();
    if (how == QLatin1String("window")) {
        QCOMPARE(VeskHarness::eval(target->page()->mainFrame(), QStringLiteral("typeof app")).toString(),
                 QStringLiteral("object"));
        target->load(QUrl(remote));
    } else if (how == QLatin1String("data")) {
        target->load(QUrl(QStringLiteral("data:text/html;base64,") + QString::fromLatin1(probe.toBase64())));
    }
    QTRY_VERIFY(VeskHarness::eval(target->page()->mainFrame(), QStringLiteral("window.seen")).isValid());
    QCOMPARE(VeskHarness::eval(target->page()->mainFrame(), QStringLiteral("window.seen")).toString(),
             QStringLiteral("undefined,undefined,undefined,false"));
    delete top;
}

void TestXWebWindow::closeContractSurvivesStoppedLoad()
{
    VeskHarness h;
    // Takes the connection and never answers.
    QTcpServer stall;
    QVERIFY(stall.listen(QHostAddress::LocalHost));
    h.writePage(QStringLiteral("init.html"),
                "<html><body><script>var vesk={_exit:function(){return false;}};</script></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QSignalSpy finished(w->view(), &QWebView::loadFinished);
    w->view()->load(QUrl(QStringLiteral("http://127.0.0.1:%1/slow.html").arg(stall.serverPort())));
    QTRY_VERIFY(stall.hasPendingConnections());
    w->view()->stop();
    QTRY_VERIFY(!finished.isEmpty());
    // The page that loaded before still decides.
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
}

void TestXWebWindow::callBacksStopAtUntrustedDocuments()
{
    VeskHarness h;
    const QByteArray page = "<html><body><script>window.got = [];"
                            "function cb(out){ window.got.push(out); }</script></body></html>";
    h.writePage(QStringLiteral("init.html"), page);
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QFile gate(h.path() + QStringLiteral("/gate"));
    // The program waits for the gate, so it ends after the page has changed.
    VeskHarness::eval(w->mainFrame(), QStringLiteral("app._exec('sh -c \"while [ ! -e gate ]; do sleep 0.05; done; "
                                                     "echo secret\"', 'cb', 'cb')"));
    auto *program = XJavaScriptAPI::of(w.get())->findChild<QProcess *>();
    QVERIFY(program);
    QSignalSpy ended(program, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    w->view()->setHtml(QString::fromLatin1(page), QUrl(QStringLiteral("http://remote.invalid/")));
    QTRY_COMPARE(w->mainFrame()->url().host(), QStringLiteral("remote.invalid"));
    QVERIFY(gate.open(QIODevice::WriteOnly));
    gate.close();
    // The program's end and output reach nobody in the remote document.
    QVERIFY(ended.wait());
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("window.got.length")).toInt(), 0);
}

QTEST_MAIN(TestXWebWindow)
#include "tst_xwebwindow.moc"
