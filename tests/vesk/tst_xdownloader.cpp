#include "loopbackhttpserver.h"
#include "veskharness.h"
#include "xwebwindow.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// Raw answers per path on the shared loopback server: whole, cut short, or trickled.
class ScriptedHttpServer {
public:
    struct Answer {
        QByteArray raw;
        int cutAfter = -1;
        int trickle = 0;
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
        if (a.trickle <= 0) {
            socket->write(a.cutAfter < 0 ? a.raw : a.raw.left(a.cutAfter));
            socket->disconnectFromHost();
            return;
        }
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, a] {
            socket->write(a.raw.mid(*sent, a.trickle));
            *sent += a.trickle;
            if (*sent >= a.raw.size()) {
                timer->stop();
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

class TestXDownloader : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    // Starts a download under key and waits until one of its callbacks ran.
    QVariantMap fetch(const QString &key, const QString &url, const QString &target, bool progress = false);

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
};

void TestXDownloader::initTestCase()
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

void TestXDownloader::init()
{
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"), kPage);
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
    m_server.reset(new ScriptedHttpServer);
}

void TestXDownloader::cleanup()
{
    m_window.reset();
    m_harness.reset();
    m_server.reset();
}

QVariantMap TestXDownloader::fetch(const QString &key, const QString &url, const QString &target, bool progress)
{
    eval(QStringLiteral("cb('%1'); app._download(%2, %3, 'ok_%1', 'err_%1'%4);")
             .arg(key, "'" + url + "'", "'" + target + "'", progress ? ", 'prog_" + key + "'" : QString()));
    // An empty map on time-out fails every caller's checks.
    if (!QTest::qWaitFor([&] { return eval("'" + key + "' in log").toBool(); }, 15000))
        return QVariantMap();
    return eval("log['" + key + "']").toMap();
}

void TestXDownloader::outcomes_data()
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
    QTest::newRow("closed-mid-body") << "/f" << ok(QByteArray(5000, 'x')) << 2000 << 200 << old;
    QTest::newRow("garbage-answer") << "/f" << QByteArray("hello\r\n\r\n") << -1 << 0 << old;
    QTest::newRow("connection-refused") << "refused" << QByteArray() << -1 << 0 << old;
    QTest::newRow("redirect-followed") << "/r1" << redirect("/r2") << -1 << -1 << QByteArray("final");
    QTest::newRow("redirect-loop") << "/loop" << redirect("/loop") << -1 << 302 << old;
    QTest::newRow("https") << "tls:/final" << QByteArray() << -1 << -1 << QByteArray("final");
    QTest::newRow("https-to-http-refused") << "tls:/down" << QByteArray() << -1 << 302 << old;
    QTest::newRow("https-redirect-to-https") << "tls:/up" << QByteArray() << -1 << -1 << QByteArray("final");
    QTest::newRow("invalid-url") << "bad" << QByteArray() << -1 << 0 << old;
}

void TestXDownloader::outcomes()
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

    m_server->answer(QStringLiteral("/r2"), {ok("final")});
    m_server->answer(path, {raw, cutAfter});
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
    const QVariantMap result = fetch(QStringLiteral("k"), url, target);
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

void TestXDownloader::unwritableTarget()
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

void TestXDownloader::severalAtOnce()
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

void TestXDownloader::progress_data()
{
    QTest::addColumn<bool>("withLength");
    QTest::newRow("known-length") << true;
    QTest::newRow("unknown-length") << false;
}

void TestXDownloader::progress()
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

QTEST_MAIN(TestXDownloader)
#include "tst_xdownloader.moc"
