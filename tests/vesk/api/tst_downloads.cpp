#include "loopbackhttpserver.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <QWebFrame>
#include <QtTest>

#include <functional>
#include <memory>

// Raw answers per path on the shared loopback server: whole, cut short, or trickled.
class ScriptedHttpServer {
public:
    struct Answer {
        QByteArray raw;
        int cutAfter = -1;
        int trickle = 0;
        // Keeps the connection open after what was sent, silent.
        bool stall = false;
    };

    ScriptedHttpServer()
    {
        m_http.setHandler([this](LoopbackHttpServer *, int index) { serve(index); });
    }
    QString url(const QString &path) const { return m_http.url(path); }
    void answer(const QString &path, const Answer &a) { m_answers.insert(path.toLatin1(), a); }
    void setIdentity(const QSslCertificate &cert, const QSslKey &key) { m_http.setTls(cert, key); }

private:
    void serve(int index)
    {
        const LoopbackHttpServer::Request &request = m_http.requests().at(index);
        QPointer<QTcpSocket> socket = request.socket;
        const Answer a = m_answers.value(request.path, Answer {"HTTP/1.0 404 Not Found\r\n\r\n"});
        if (!socket)
            return;
        const int limit = a.cutAfter < 0 ? a.raw.size() : a.cutAfter;
        if (a.trickle <= 0) {
            socket->write(a.raw.left(limit));
            if (!a.stall)
                socket->disconnectFromHost();
            return;
        }
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, a, limit] {
            socket->write(a.raw.mid(*sent, qMin(a.trickle, limit - *sent)));
            *sent += a.trickle;
            if (*sent >= limit) {
                timer->stop();
                if (!a.stall)
                    socket->disconnectFromHost();
            }
        });
        timer->start(10);
    }

    LoopbackHttpServer m_http;
    QMap<QByteArray, Answer> m_answers;
};

namespace {

QByteArray ok(const QByteArray &body, bool length = true)
{
    return "HTTP/1.0 200 OK\r\n" + (length ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n" : "")
        + "\r\n" + body;
}

QByteArray status(int code, const QByteArray &body)
{
    return "HTTP/1.0 " + QByteArray::number(code) + " Oops\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

QByteArray redirect(const QString &to)
{
    return "HTTP/1.0 302 Found\r\nLocation: " + to.toLatin1() + "\r\nContent-Length: 0\r\n\r\n";
}

// Records each callback per download key.
const QByteArray kPage = "<html><body><script>"
                         "window.log = {};"
                         "function cb(key){"
                         " window['ok_'+key] = function(){ log[key] = {ok: arguments.length}; };"
                         " window['err_'+key] = function(e){ log[key] = {err: e}; };"
                         " window['prog_'+key] = function(r,t){ (log['p_'+key] = log['p_'+key] || []).push([r,t]); };"
                         "}"
                         "</script></body></html>";

} // namespace

class TestDownloads : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    // Starts a download under key and waits until one of its callbacks ran.
    // whileRunning, if given, runs right after the download has started.
    QVariantMap fetch(const QString &key, const QString &url, const QString &target, bool progress = false,
                      const QString &options = QString(), const std::function<void()> &whileRunning = {});

    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;
    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<ScriptedHttpServer> m_tlsServer;

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void outcomes_data();
    void outcomes();
    void unwritableTarget();
    void severalAtOnce();
    void progress_data();
    void progress();
    void diesWithItsPage_data();
    void diesWithItsPage();
};

void TestDownloads::initTestCase()
{
    // A self-signed identity the process trusts, for the https rows.
    QSslCertificate cert;
    QSslKey key;
    QString why;
    QVERIFY2(LoopbackHttpServer::makeIdentity(&cert, &key, &why), qPrintable(why));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(cert);
    QSslConfiguration::setDefaultConfiguration(config);
    m_tlsServer.reset(new ScriptedHttpServer);
    m_tlsServer->setIdentity(cert, key);
}

void TestDownloads::init()
{
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"), kPage);
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
    m_server.reset(new ScriptedHttpServer);
}

void TestDownloads::cleanup()
{
    m_window.reset();
    m_harness.reset();
    m_server.reset();
}

QVariantMap TestDownloads::fetch(const QString &key, const QString &url, const QString &target, bool progress,
                                   const QString &options, const std::function<void()> &whileRunning)
{
    QString extra = progress ? ", 'prog_" + key + "'" : QString();
    if (!options.isEmpty())
        extra = (progress ? extra : QStringLiteral(", ''")) + ", " + options;
    eval(QStringLiteral("cb('%1'); app._download(%2, %3, 'ok_%1', 'err_%1'%4);")
             .arg(key, "'" + url + "'", "'" + target + "'", extra));
    if (whileRunning)
        whileRunning();
    // An empty map on time-out fails every caller's checks.
    if (!QTest::qWaitFor([&] { return eval("'" + key + "' in log").toBool(); }, 15000))
        return QVariantMap();
    return eval("log['" + key + "']").toMap();
}

void TestDownloads::outcomes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("cutAfter");
    QTest::addColumn<int>("expectedStatus"); // -1: success
    QTest::addColumn<QByteArray>("expectedFile");

    const QByteArray old = "old content";
    QTest::newRow("success") << "/f" << ok("fresh body") << -1 << -1 << QByteArray("fresh body");
    QTest::newRow("empty-body") << "/f" << ok("") << -1 << -1 << QByteArray("");
    QTest::newRow("404-with-body") << "/f" << status(404, "not here") << -1 << 404 << old;
    QTest::newRow("500-with-body") << "/f" << status(500, "broken") << -1 << 500 << old;
    QTest::newRow("closed-mid-body") << "/f" << ok(QByteArray(50000, 'x')) << 20000 << 200 << old;
    QTest::newRow("garbage-answer") << "/f" << QByteArray("hello\r\n\r\n") << -1 << 0 << old;
    QTest::newRow("connection-refused") << "refused" << QByteArray() << -1 << 0 << old;
    QTest::newRow("redirect-followed") << "/r1" << redirect("/r2") << -1 << -1 << QByteArray("final");
    QTest::newRow("redirect-loop") << "/loop" << redirect("/loop") << -1 << 302 << old;
    QTest::newRow("https") << "tls:/final" << QByteArray() << -1 << -1 << QByteArray("final");
    QTest::newRow("https-to-http-refused") << "tls:/down" << QByteArray() << -1 << 302 << old;
    QTest::newRow("https-redirect-to-https") << "tls:/up" << QByteArray() << -1 << -1 << QByteArray("final");
    QTest::newRow("invalid-url") << "bad" << QByteArray() << -1 << 0 << old;
    // "stall:" rows keep the connection open and silent after cutAfter bytes and
    // run with a time-out of 1.5 s.
    QTest::newRow("stalled-before-headers") << "stall:/f" << QByteArray() << -1 << 0 << old;
    QTest::newRow("stalled-mid-body") << "stall:/f" << ok(QByteArray(50000, 'x')) << 20000 << 200 << old;
    QTest::newRow("timeout-not-a-number") << "options:{timeout: '5'}" << ok("body") << -1 << 0 << old;
    QTest::newRow("timeout-zero") << "options:{timeout: 0}" << ok("body") << -1 << 0 << old;
    QTest::newRow("options-not-an-object") << "options:7" << ok("body") << -1 << 0 << old;
    QTest::newRow("options-null-is-default") << "options:null" << ok("body") << -1 << -1 << QByteArray("body");
}

void TestDownloads::outcomes()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, raw);
    QFETCH(int, cutAfter);
    QFETCH(int, expectedStatus);
    QFETCH(QByteArray, expectedFile);

    const QString target = m_harness->path() + QStringLiteral("/target.bin");
    QFile existing(target);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old content");
    existing.close();

    QString options;
    const bool stall = path.startsWith(QLatin1String("stall:"));
    if (stall) {
        path = path.mid(6);
        options = QStringLiteral("{timeout: 1.5}");
    } else if (path.startsWith(QLatin1String("options:"))) {
        options = path.mid(8);
        path = QStringLiteral("/f");
    }
    m_server->answer(QStringLiteral("/r2"), {ok("final")});
    // Trickled, so that the progress rate limit holds some reports back.
    m_server->answer(path, {raw, cutAfter, stall ? 4000 : 0, stall});
    m_tlsServer->answer(QStringLiteral("/final"), {ok("final")});
    m_tlsServer->answer(QStringLiteral("/down"), {redirect(m_server->url(QStringLiteral("/r2")))});
    m_tlsServer->answer(QStringLiteral("/up"), {redirect(m_tlsServer->url(QStringLiteral("/final")))});

    QString url = m_server->url(path);
    if (path == QLatin1String("refused")) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        url = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    } else if (path.startsWith(QLatin1String("tls:"))) {
        url = m_tlsServer->url(path.mid(4));
    } else if (path == QLatin1String("bad")) {
        url = QStringLiteral("::not a url");
    }
    const int header = raw.indexOf("\r\n\r\n") + 4;
    const QString arrived = raw.isEmpty() ? QStringLiteral("[0,-1]") : QStringLiteral("[%1,50000]").arg(cutAfter - header);
    const QString lastProgress = QStringLiteral("JSON.stringify((log.p_k || []).slice(-1)[0])");
    const QVariantMap result = fetch(QStringLiteral("k"), url, target, stall, options, [&] {
        // The bytes that did arrive are reported while the server is silent,
        // long before the time-out.
        if (stall && !raw.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(eval(lastProgress).toString(), arrived, 1000);
            QVERIFY(!eval(QStringLiteral("'k' in log")).toBool());
        }
    });
    if (stall) {
        const QString text = result.value("err").toMap().value("error_text").toString();
        QCOMPARE(text, QStringLiteral("Timed out: no data from the server for 1.5 s"));
        QCOMPARE(eval(lastProgress).toString(), arrived);
    } else if (!options.isEmpty() && expectedStatus >= 0) {
        QVERIFY(result.value("err").toMap().value("error_text").toString().startsWith("Invalid options: "));
    }
    if (expectedStatus < 0) {
        QVERIFY2(result.contains("ok"), qPrintable(result.value("err").toMap().value("error_text").toString()));
        QCOMPARE(result.value("ok").toInt(), 0);
    } else {
        const QVariantMap error = result.value(QStringLiteral("err")).toMap();
        QCOMPARE(error.value(QStringLiteral("http_status")).toInt(), expectedStatus);
        QVERIFY(!error.value(QStringLiteral("error_text")).toString().isEmpty());
    }
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), expectedFile);
    // No temporary file is left behind beside the target.
    QCOMPARE(QDir(m_harness->path()).entryList({"target*"}, QDir::Files).size(), 1);
}

void TestDownloads::unwritableTarget()
{
    m_server->answer(QStringLiteral("/f"), {ok("body")});
    const QString target = m_harness->path() + QStringLiteral("/missing/folder/x.bin");
    const QVariantMap result = fetch(QStringLiteral("k"), m_server->url(QStringLiteral("/f")), target);
    QCOMPARE(result.value("err").toMap().value("http_status").toInt(), 0);
    QVERIFY(result.value("err").toMap().value("error_text").toString().contains(target));
    QVERIFY(!QFileInfo::exists(m_harness->path() + QStringLiteral("/missing")));
    // Empty callback names: the download still happens, silently.
    eval(QStringLiteral("app._download('%1', 'silent.bin', '', '')").arg(m_server->url(QStringLiteral("/f"))));
    QTRY_VERIFY(QFileInfo::exists(m_harness->path() + QStringLiteral("/silent.bin")));
}

void TestDownloads::severalAtOnce()
{
    const int count = 12;
    for (int i = 0; i < count; ++i)
        m_server->answer(QStringLiteral("/p%1").arg(i), {ok(QByteArray(1000 + i, char('a' + i))), -1, 200});
    for (int i = 0; i < count; ++i)
        eval(QStringLiteral("cb('d%1'); app._download('%2', 'd%1.bin', 'ok_d%1', 'err_d%1');")
                 .arg(i)
                 .arg(m_server->url(QStringLiteral("/p%1").arg(i))));
    QTRY_COMPARE_WITH_TIMEOUT(eval("Object.keys(log).length").toInt(), count, 15000);
    for (int i = 0; i < count; ++i) {
        QVERIFY(eval(QStringLiteral("'ok' in log.d%1").arg(i)).toBool());
        QFile f(m_harness->path() + QStringLiteral("/d%1.bin").arg(i));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(1000 + i, char('a' + i)));
    }
}

void TestDownloads::progress_data()
{
    QTest::addColumn<bool>("withLength");
    QTest::newRow("known-length") << true;
    QTest::newRow("unknown-length") << false;
}

void TestDownloads::progress()
{
    QFETCH(bool, withLength);
    const QByteArray body(400 * 1024, 'z');
    // About 0.6 s of trickling: several progress calls, far fewer than chunks.
    m_server->answer(QStringLiteral("/big"), {ok(body, withLength), -1, 8 * 1024});
    QElapsedTimer clock;
    clock.start();
    const QVariantMap result = fetch(QStringLiteral("k"), m_server->url(QStringLiteral("/big")), "big.bin", true);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(result.contains("ok"));
    const QVariantList calls = eval("log.p_k").toList();
    QVERIFY2(calls.size() >= 3, qPrintable(QString::number(calls.size())));
    QVERIFY(calls.size() <= elapsed / 100 + 2);
    qint64 previous = -1;
    for (const QVariant &call : calls) {
        const QVariantList pair = call.toList();
        QVERIFY(pair.value(0).toLongLong() >= previous);
        previous = pair.value(0).toLongLong();
        QCOMPARE(pair.value(1).toLongLong(), withLength ? qint64(body.size()) : qint64(-1));
    }
    // The final figures arrive exactly once.
    QCOMPARE(previous, qint64(body.size()));
    QVERIFY(calls.at(calls.size() - 2).toList().value(0).toLongLong() < body.size());
}

void TestDownloads::diesWithItsPage_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("window-deleted") << "delete";
    QTest::newRow("closeWindow-in-page") << "closeWindow";
    QTest::newRow("popup-closed") << "popup";
}

// Pages going away with downloads running: no crash, no callback, no partial file.
void TestDownloads::diesWithItsPage()
{
    QFETCH(QString, how);
    const QString target = m_harness->path() + QStringLiteral("/kept.bin");
    QFile existing(target);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old content");
    existing.close();
    m_server->answer(QStringLiteral("/silent"), {QByteArray(), -1, 0, true});
    m_server->answer(QStringLiteral("/half"), {ok(QByteArray(100000, 'h')), 30000, 1000, true});
    m_harness->writePage(QStringLiteral("popup.html"), kPage);

    QPointer<QWidget> page = m_window.release();
    QWebFrame *frame = static_cast<XWebWindow *>(page.data())->mainFrame();
    if (how == QLatin1String("popup")) {
        const QWidgetList before = QApplication::topLevelWidgets();
        VeskHarness::eval(frame, QStringLiteral("window.open('popup.html')"));
        QWidget *popup = nullptr;
        QTRY_VERIFY((popup = [&before]() -> QWidget * {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (!before.contains(w) && qobject_cast<XWebView *>(w))
                    return w;
            }
            return nullptr;
        }()));
        m_window.reset(static_cast<XWebWindow *>(page.data()));
        page = popup;
        frame = static_cast<XWebView *>(popup)->page()->mainFrame();
        QTRY_COMPARE(VeskHarness::eval(frame, QStringLiteral("typeof cb")).toString(), QStringLiteral("function"));
    }
    for (const QString &path : {QStringLiteral("/half"), QStringLiteral("/half"), QStringLiteral("/silent")})
        VeskHarness::eval(frame, QStringLiteral("cb('k'); app._download('%1', 'kept.bin', 'ok_k', 'err_k', 'prog_k');")
                                     .arg(m_server->url(path)));
    QTRY_VERIFY2_WITH_TIMEOUT(VeskHarness::eval(frame, QStringLiteral("'p_k' in log")).toBool(),
                              qPrintable(VeskHarness::eval(frame, QStringLiteral("JSON.stringify(log)")).toString()),
                              10000);

    if (how == QLatin1String("delete"))
        delete page.data();
    else if (how == QLatin1String("closeWindow"))
        VeskHarness::eval(frame, QStringLiteral("app.closeWindow()"));
    else
        VeskHarness::eval(frame, QStringLiteral("window.close()"));
    if (page)
        page->deleteLater();
    QTRY_VERIFY(page.isNull());
    QTest::qWait(50);
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old content"));
    QCOMPARE(QDir(m_harness->path()).entryList({"kept*"}, QDir::Files), QStringList {QStringLiteral("kept.bin")});
}

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
