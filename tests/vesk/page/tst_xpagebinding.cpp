#include "api/xjavascriptapi.h"
#include "core/xtrustpolicy.h"
#include "loopbackhttpserver.h"
#include "page/xbridgescript.h"
#include "page/xpagebinding.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "web/xwidgetembed.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QFile>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// Hostile documents against the trust boundary: what each one reaches of the
// application's native objects, directly or through a trusted frame.
class TestXPageBinding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void hostileDocumentGetsNothing_data();
    void hostileDocumentGetsNothing();
    void windowGoneRemoteGetsNoCalls();
    void popupOfRemoteFrameIsBare();

private:
    QByteArray expand(QByteArray html) const;

    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<LoopbackHttpServer> m_server;
};

namespace {

// Evaluated in the hostile frame: the names of the native objects it reached.
const char probe[] = "(function(){var got=[];function t(n,f){try{var v=f();if(v!==undefined&&v!==null)got.push(n);}"
                     "catch(e){}}"
                     "t('app',function(){return window.app;});t('widget',function(){return window.widget;});"
                     "t('parent.app',function(){return parent.app;});t('top.app',function(){return top.app;});"
                     "t('opener.app',function(){return opener&&opener.app;});"
                     "t('embedded',function(){var o=document.querySelector('object');return o&&o.grab;});"
                     "t('hot',function(){return window[HOT];});t('parent.hot',function(){return parent[HOT];});"
                     "t('top.hot',function(){return top[HOT];});"
                     "return got.join();})()";

// The probe, with the name the API's hot object is published under.
QString probeScript()
{
    return QString::fromLatin1(probe).replace(QLatin1String("HOT"),
                                              QLatin1Char('\'') + XBridgeScript::hotObjectName() + QLatin1Char('\''));
}

const char widgetElement[] = "<object type='vesk/widget' width='50' height='40'>"
                             "<param name='widgetid' value='1'></object>";

QWebFrame *frameAt(QWebFrame *frame, const QString &path)
{
    for (const QString &step : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!frame)
            return nullptr;
        frame = frame->childFrames().value(step.toInt());
    }
    return frame;
}

// A window that newTopWindow made (they are top-level and not owned by the test).
XWebWindow *otherWindow(const XWebWindow *except)
{
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *top : tops) {
        auto *window = qobject_cast<XWebWindow *>(top);
        if (window && window != except)
            return window;
    }
    return nullptr;
}

XWebView *popupView()
{
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *top : tops) {
        auto *view = qobject_cast<XWebView *>(top);
        if (view && XPageBinding::of(view))
            return view;
    }
    return nullptr;
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

void TestXPageBinding::init()
{
    m_harness.reset(new VeskHarness);
    m_server.reset(new LoopbackHttpServer);
    const QByteArray evil = "<html><body><p id='p'>evil</p>" + QByteArray(widgetElement)
        + "<iframe src='about:blank'></iframe></body></html>";
    m_server->setPage(QStringLiteral("/evil.html"), evil);
    QFile outside(m_harness->path() + QStringLiteral("/report.html"));
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write("<html><head><title>report</title></head><body>report" + QByteArray(widgetElement)
                  + "</body></html>");
    outside.close();
    // A link inside app/ to a file outside does not make the file the application's.
    QVERIFY(QFile::link(m_harness->path() + QStringLiteral("/report.html"),
                        m_harness->path() + QStringLiteral("/app/linked.html")));
}

void TestXPageBinding::cleanup()
{
    m_server.reset();
    m_harness.reset();
}

QByteArray TestXPageBinding::expand(QByteArray html) const
{
    html.replace("REMOTE", m_server->url(QStringLiteral("/evil.html")).toUtf8());
    html.replace("OUTSIDE", QUrl::fromLocalFile(m_harness->path() + QStringLiteral("/report.html")).toEncoded());
    return html;
}

void TestXPageBinding::hostileDocumentGetsNothing_data()
{
    QTest::addColumn<QByteArray>("page");
    // Where the hostile document is: a frame path below the main frame, or
    // "window" for a window newTopWindow opened on the page's "open" value.
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("open");
    // The hostile document shows (true) or is refused and leaves the frame blank.
    QTest::addColumn<bool>("shown");

    QTest::newRow("remote-iframe") << QByteArray("<iframe src='REMOTE'></iframe>") << "0" << "" << true;
    QTest::newRow("blank-frame-in-remote-iframe") << QByteArray("<iframe src='REMOTE'></iframe>") << "0/0" << ""
                                                  << true;
    QTest::newRow("downloaded-report-in-preview-iframe")
        << QByteArray("<iframe src='OUTSIDE'></iframe>") << "0" << "" << false;
    QTest::newRow("link-out-of-app-in-iframe") << QByteArray("<iframe src='linked.html'></iframe>") << "0" << ""
                                               << false;
    QTest::newRow("data-frame") << QByteArray("<iframe src='data:text/html,<p>d</p>'></iframe>") << "0" << ""
                                << true;
    QTest::newRow("remote-main-page") << QByteArray() << "window" << "REMOTE" << true;
    QTest::newRow("file-outside-app-in-window") << QByteArray() << "window" << "../report.html" << true;
    QTest::newRow("link-out-of-app-in-window") << QByteArray() << "window" << "linked.html" << true;
}

void TestXPageBinding::hostileDocumentGetsNothing()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, where);
    QFETCH(QString, open);
    QFETCH(bool, shown);
    m_harness->writePage(QStringLiteral("init.html"), "<html><body>" + expand(page) + "</body></html>");
    std::unique_ptr<XWebWindow> w(m_harness->openWindow(QStringLiteral("/init.html")));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("app.createWidgetIframe('app/init.html')")).toInt(), 1);
    QWidget *widget = w->view()->widgets().widget(1);

    QWebFrame *hostile = nullptr;
    XWebWindow *other = nullptr;
    if (where == QLatin1String("window")) {
        const QString target = QString::fromUtf8(expand(open.toUtf8()));
        VeskHarness::eval(w->mainFrame(), QStringLiteral("app.newTopWindow(%1, 'n')").arg(quoted(target)));
        QVERIFY((other = otherWindow(w.get())) != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!other->mainFrame()->toPlainText().isEmpty(), 10000);
        hostile = other->mainFrame();
        QVERIFY(!XPageBinding::of(other->view())->documentTrusted());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT((hostile = frameAt(w->mainFrame(), where)) != nullptr, 10000);
        // A refused load is over by the time the page has loaded; a nested
        // blank frame shows nothing either way.
        if (shown && !where.contains(QLatin1Char('/')))
            QTRY_VERIFY_WITH_TIMEOUT(!hostile->toPlainText().isEmpty(), 10000);
        if (!shown) {
            // The frame keeps the page's own blank document.
            QCOMPARE(hostile->toPlainText(), QString());
            QVERIFY(XTrustPolicy::isBlank(hostile->url()));
        }
    }
    if (shown)
        QCOMPARE(VeskHarness::eval(hostile, probeScript()).toString(), QString());
    // Whatever the document holds, the application's widget is embedded nowhere.
    QVERIFY(!XWidgetEmbed::holding(widget));
    // The trusted page itself keeps everything.
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("typeof app.fileread")).toString(),
             QStringLiteral("function"));
    // Its hot object only through app's functions, under no name of its own.
    QCOMPARE(VeskHarness::eval(w->mainFrame(), probeScript()).toString(), QStringLiteral("app,widget,parent.app,top.app"));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("typeof app.dbQuery + typeof app._call")).toString(),
             QStringLiteral("functionfunction"));
    delete other;
}

void TestXPageBinding::windowGoneRemoteGetsNoCalls()
{
    m_harness->writePage(QStringLiteral("init.html"), "<html><body>main</body></html>");
    m_harness->writePage(QStringLiteral("n.html"), "<html><body><script>function f(s){return 'mine:'+s.secret;}"
                                                   "</script>n</body></html>");
    m_server->setPage(QStringLiteral("/forge.html"),
                      "<html><body><script>var seen=[];function f(s){seen.push(s);return 'forged';}</script>"
                      "r</body></html>");
    std::unique_ptr<XWebWindow> w(m_harness->openWindow(QStringLiteral("/init.html")));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("app.newTopWindow('n.html', 'n')"));
    const QString call = QStringLiteral("String(app.callWindow('n', 'f', {secret: 's3'}))");
    QTRY_COMPARE_WITH_TIMEOUT(VeskHarness::eval(w->mainFrame(), call).toString(), QStringLiteral("mine:s3"), 10000);

    XWebWindow *n = otherWindow(w.get());
    QVERIFY(n);
    VeskHarness::eval(n->mainFrame(),
                      QStringLiteral("location.href = %1").arg(quoted(m_server->url(QStringLiteral("/forge.html")))));
    QTRY_COMPARE_WITH_TIMEOUT(n->mainFrame()->toPlainText(), QStringLiteral("r"), 10000);
    QCOMPARE(VeskHarness::eval(w->mainFrame(), call).toString(), QStringLiteral("null"));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("app.getWindow('n').js('f({secret: 1})')"));
    QCOMPARE(VeskHarness::eval(n->mainFrame(), QStringLiteral("seen.length")).toInt(), 0);
    delete n;
}

void TestXPageBinding::popupOfRemoteFrameIsBare()
{
    m_harness->writePage(QStringLiteral("init.html"), expand("<html><body><iframe src='REMOTE'></iframe></body></html>"));
    std::unique_ptr<XWebWindow> w(m_harness->openWindow(QStringLiteral("/init.html")));
    QWebFrame *remote = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((remote = frameAt(w->mainFrame(), QStringLiteral("0"))) && !remote->toPlainText().isEmpty(),
                             10000);
    VeskHarness::eval(remote, QStringLiteral("window.open('about:blank')"));
    XWebView *popup = nullptr;
    QTRY_VERIFY((popup = popupView()) != nullptr);
    QCOMPARE(XPageBinding::of(popup)->role(), XPageBinding::BarePage);
    QCOMPARE(VeskHarness::eval(popup->page()->mainFrame(), probeScript()).toString(), QString());
    popup->close();
}

QTEST_MAIN(TestXPageBinding)
#include "tst_xpagebinding.moc"
