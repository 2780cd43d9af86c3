#include "callrecorder.h"
#include "loopbackhttpserver.h"
#include "maiafault.h"
#include "maiaobject.h"
#include "maiaxmlrpcclient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray responseDocument(const QVariant &value)
{
    return MaiaObject::prepareResponse(value).toUtf8();
}

const char *const ResponseSlot = SLOT(onResponse(QVariant &, QNetworkReply *));
const char *const FaultSlot = SLOT(onFault(int, const QString &, QNetworkReply *));

QNetworkReply *callWith(MaiaXmlRpcClient &client, CallRecorder &recorder, const QString &method,
                        const QVariantList &args = {}, const QString &name = QString())
{
    return client.call(method, args, &recorder, ResponseSlot, &recorder, FaultSlot, name);
}

} // namespace

class TestMaiaXmlRpcClient : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void request_data();
    void request();
    void callsCompletingInReverseOrder();
    void httpOutcomes_data();
    void httpOutcomes();
    void refusedConnection();
    void declaredEncoding_data();
    void declaredEncoding();
    void argumentWithoutXmlRpcForm();
    void replyNotInCallMapIsIgnored();
    void setUrl_data();
    void setUrl();
    void selfSignedHttps_data();
    void selfSignedHttps();
    void inactivity_data();
    void inactivity();
    void oversizedResponse_data();
    void oversizedResponse();
    void sizeCapHoldsWhileThreadIsBusy();
    void receiverDestroysClient_data();
    void receiverDestroysClient();
    void destroyingClientWithCallsInFlight();
};

void TestMaiaXmlRpcClient::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    qRegisterMetaType<QList<QSslError>>();
}

void TestMaiaXmlRpcClient::request_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<QByteArray>("agent");

    QTest::newRow("default-agent") << 1 << QByteArray("libmaia/0.2");
    QTest::newRow("agent-from-constructor") << 2 << QByteArray("KorvaOrganizer");
    QTest::newRow("agent-set-later") << 3 << QByteArray("Caf\xe9/1.0");
}

void TestMaiaXmlRpcClient::request()
{
    QFETCH(int, form);
    QFETCH(QByteArray, agent);

    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    server.setHandler([](LoopbackHttpServer *s, int i) { s->respond(i, 200, responseDocument(1)); });
    const QUrl url(server.baseUrl());
    std::unique_ptr<MaiaXmlRpcClient> client;
    if (form == 1) {
        client.reset(new MaiaXmlRpcClient(url));
    } else if (form == 2) {
        client.reset(new MaiaXmlRpcClient(url, QString::fromLatin1(agent)));
    } else {
        client.reset(new MaiaXmlRpcClient);
        client->setUrl(url);
        client->setUserAgent(QString::fromLatin1(agent));
    }

    CallRecorder recorder;
    const QVariantList args {QString::fromUtf8("Grüße"), 2};
    callWith(*client, recorder, "sample.echo", args);
    QTRY_COMPARE(recorder.count(), 1);
    QCOMPARE(recorder.last().value, QVariant(1));

    QCOMPARE(server.requests().size(), 1);
    const LoopbackHttpServer::Request &request = server.requests().at(0);
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/RPC2"));
    QCOMPARE(request.headers.value("user-agent"), agent);
    QCOMPARE(request.headers.value("content-type"), QByteArray("text/xml"));
    QCOMPARE(request.body, MaiaObject::prepareCall("sample.echo", args).toUtf8());
}

void TestMaiaXmlRpcClient::callsCompletingInReverseOrder()
{
    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    CallRecorder first;
    CallRecorder second;
    QNetworkReply *firstReply = callWith(client, first, "a", {}, "ok1|err1");
    QNetworkReply *secondReply = callWith(client, second, "b", {}, "ok2|err2");
    QTRY_COMPARE(server.requests().size(), 2);

    const int indexOfB = server.requests().at(0).body.contains("<methodName>b<") ? 0 : 1;
    server.respond(indexOfB, 200, responseDocument("answer b"));
    QTRY_COMPARE(second.count(), 1);
    QCOMPARE(first.count(), 0);
    server.respond(1 - indexOfB, 200, MaiaFault(3, "fault a").toString().toUtf8());
    QTRY_COMPARE(first.count(), 1);

    QCOMPARE(second.count(), 1);
    QCOMPARE(second.last().value, QVariant("answer b"));
    QCOMPARE(second.last().name, QString("ok2|err2"));
    QCOMPARE(second.last().reply, secondReply);
    QVERIFY(first.last().isFault);
    QCOMPARE(first.last().code, 3);
    QCOMPARE(first.last().text, QString("fault a"));
    QCOMPARE(first.last().name, QString("ok1|err1"));
    QCOMPARE(first.last().reply, firstReply);
}

void TestMaiaXmlRpcClient::httpOutcomes_data()
{
    QTest::addColumn<int>("status"); // 0: the server closes without answering
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("code"); // 0: a response
    QTest::addColumn<QString>("textStart");

    QTest::newRow("response-200") << 200 << responseDocument(QVariantMap {{"status", "200"}}) << 0 << "";
    QTest::newRow("fault-200") << 200 << MaiaFault(7, "bad session").toString().toUtf8() << 7 << "bad session";
    QTest::newRow("html-200-well-formed") << 200 << QByteArray("<html><body><h1>Maintenance</h1></body></html>")
                                          << -32600 << "parse error: invalid xml-rpc.";
    QTest::newRow("html-200-not-well-formed") << 200 << QByteArray("<html><body><p>Maintenance<br></body></html>")
                                              << -32700 << "parse error: response not well formed at line 1: ";
    QTest::newRow("empty-200") << 200 << QByteArray() << -32700 << "parse error: response not well formed at line 1: ";
    QTest::newRow("binary-200") << 200 << QByteArray("\x00\xff\xfe<", 4) << -32700
                                << "parse error: response not well formed";
    QTest::newRow("billion-laughs-200")
        << 200
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                      "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n<methodResponse><params><param><value>&b;</value></"
                      "param></params></methodResponse>")
        << -32700 << "parse error: response not well formed at line 2: document type declarations are not accepted";
    QTest::newRow("deeply-nested-200")
        << 200 << ("<methodResponse><params><param>" + QByteArray("<value><array><data>").repeated(5000)) << -32700
        << "parse error: response not well formed at line 1: values nested deeper than 256 levels";
    QTest::newRow("html-404") << 404 << QByteArray("<html><body>Not here</body></html>") << -32300 << "";
    QTest::newRow("html-500") << 500 << QByteArray("<html><body>Broken</body></html>") << -32300 << "";
    QTest::newRow("fault-body-500") << 500 << MaiaFault(7, "x").toString().toUtf8() << -32300 << "";
    QTest::newRow("connection-dropped") << 0 << QByteArray() << -32300 << "";
    // Not followed: a redirect's body is usually an HTML page that would read as a parse error.
    QTest::newRow("redirect-301") << 301 << QByteArray("<html><body>Moved</body></html>") << -32300
                                  << "HTTP status 301";
    QTest::newRow("redirect-307-xml-body") << 307 << responseDocument(1) << -32300 << "HTTP status 307";
}

void TestMaiaXmlRpcClient::httpOutcomes()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, code);
    QFETCH(QString, textStart);

    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    server.setHandler([status, body](LoopbackHttpServer *s, int i) {
        if (status == 0)
            s->requests().at(i).socket->close();
        else
            s->respond(i, status, body, "text/html");
    });
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    CallRecorder recorder;
    callWith(client, recorder, "m");
    QTRY_COMPARE(recorder.count(), 1);

    const CallRecorder::Outcome &outcome = recorder.last();
    if (code == 0) {
        QVERIFY(!outcome.isFault);
        QCOMPARE(outcome.value, QVariant(QVariantMap {{"status", "200"}}));
        return;
    }
    QVERIFY(outcome.isFault);
    QCOMPARE(outcome.code, code);
    QVERIFY2(outcome.text.startsWith(textStart), qPrintable(outcome.text));
    QVERIFY2(!outcome.text.isEmpty(), "a fault always has a text");
}

void TestMaiaXmlRpcClient::declaredEncoding_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text"); // empty: a parse fault

    const QString text = QString::fromUtf8("Grüße €");
    const QString document = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n<methodResponse><params><param>"
                                            "<value><string>%2</string></value></param></params></methodResponse>");
    QTest::newRow("utf-8-declared") << document.arg("UTF-8", text).toUtf8() << text;
    QTest::newRow("no-declaration-is-utf-8")
        << QString("<methodResponse><params><param><value>%1</value></param></params></methodResponse>")
               .arg(text)
               .toUtf8()
        << text;
    QTest::newRow("iso-8859-1")
        << QTextCodec::codecForName("ISO-8859-1")->fromUnicode(document.arg("ISO-8859-1", "Grüße"))
        << QString::fromUtf8("Grüße");
    QTest::newRow("windows-1252-single-quotes")
        << QTextCodec::codecForName("windows-1252")->fromUnicode(document.arg("windows-1252", text).replace('"', '\''))
        << text;
    // QTextCodec writes a byte order mark first.
    QTest::newRow("utf-16-with-bom") << QTextCodec::codecForName("UTF-16")->fromUnicode(document.arg("UTF-16", text))
                                     << text;
    QTest::newRow("utf-16le-without-bom")
        << QTextCodec::codecForName("UTF-16LE")->fromUnicode(document.arg("UTF-16", text)) << text;
    QTest::newRow("unknown-encoding") << document.arg("x-no-such-thing", "a").toUtf8() << QString();
}

void TestMaiaXmlRpcClient::declaredEncoding()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);

    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    server.setHandler([body](LoopbackHttpServer *s, int i) { s->respond(i, 200, body); });
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    CallRecorder recorder;
    callWith(client, recorder, "m");
    QTRY_COMPARE(recorder.count(), 1);
    if (text.isEmpty()) {
        QVERIFY(recorder.last().isFault);
        QCOMPARE(recorder.last().code, -32700);
        QCOMPARE(recorder.last().text, QStringLiteral("parse error: unknown encoding x-no-such-thing"));
        return;
    }
    QVERIFY2(!recorder.last().isFault, qPrintable(recorder.last().text));
    QCOMPARE(recorder.last().value, QVariant(text));
}

void TestMaiaXmlRpcClient::argumentWithoutXmlRpcForm()
{
    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    CallRecorder recorder;
    // Nested, so that the check cannot stop at the top level.
    QCOMPARE(callWith(client, recorder, "m", {1, QVariantMap {{"where", QUrl("http://x/")}}}), nullptr);
    QCOMPARE(recorder.count(), 0);
    QTRY_COMPARE(recorder.count(), 1);
    QVERIFY(recorder.last().isFault);
    QCOMPARE(recorder.last().code, -32600);
    QCOMPARE(recorder.last().text, QStringLiteral("cannot marshal argument: type QUrl (17) has no XML-RPC form"));
    QVERIFY(server.requests().isEmpty());
}

void TestMaiaXmlRpcClient::refusedConnection()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();

    MaiaXmlRpcClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/RPC2").arg(port)));
    CallRecorder recorder;
    callWith(client, recorder, "m");
    QTRY_COMPARE(recorder.count(), 1);
    QVERIFY(recorder.last().isFault);
    QCOMPARE(recorder.last().code, -32300);
    QVERIFY(recorder.last().text.contains("refused", Qt::CaseInsensitive));
}

void TestMaiaXmlRpcClient::replyNotInCallMapIsIgnored()
{
    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    CallRecorder recorder;
    callWith(client, recorder, "pending");
    QTRY_COMPARE(server.requests().size(), 1);

    QNetworkAccessManager other;
    server.setHandler([](LoopbackHttpServer *s, int i) { s->respond(i, 200, responseDocument("foreign")); });
    QPointer<QNetworkReply> foreign = other.get(QNetworkRequest(QUrl(server.baseUrl())));
    QSignalSpy finished(foreign.data(), &QNetworkReply::finished);
    QVERIFY(finished.wait());

    QVERIFY(QMetaObject::invokeMethod(&client, "replyFinished", Qt::DirectConnection,
                                      Q_ARG(QNetworkReply *, foreign.data())));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!foreign.isNull());
    QCOMPARE(recorder.count(), 0);

    server.respond(0, 200, responseDocument("own"));
    QTRY_COMPARE(recorder.count(), 1);
    QCOMPARE(recorder.last().value, QVariant("own"));
    delete foreign;
}

void TestMaiaXmlRpcClient::setUrl_data()
{
    QTest::addColumn<QUrl>("next");
    QTest::addColumn<QUrl>("expected");

    const QUrl first("http://127.0.0.1:8080/import");
    QTest::newRow("valid-replaces") << QUrl("https://example.invalid/RPC2") << QUrl("https://example.invalid/RPC2");
    QTest::newRow("invalid-keeps-old") << QUrl("http://[::1/broken") << first;
    QTest::newRow("empty-keeps-old") << QUrl() << first;
}

void TestMaiaXmlRpcClient::setUrl()
{
    QFETCH(QUrl, next);
    QFETCH(QUrl, expected);

    MaiaXmlRpcClient client(QUrl("http://127.0.0.1:8080/import"));
    client.setUrl(next);
    QCOMPARE(client.url(), expected);
}

void TestMaiaXmlRpcClient::selfSignedHttps_data()
{
    QTest::addColumn<bool>("ignore");

    QTest::newRow("errors-ignored-call-goes-on") << true;
    QTest::newRow("errors-not-ignored-call-fails") << false;
}

void TestMaiaXmlRpcClient::selfSignedHttps()
{
    QFETCH(bool, ignore);
    if (!QSslSocket::supportsSsl())
        QSKIP("no TLS backend");

    QSslCertificate certificate;
    QSslKey key;
    QString why;
    QVERIFY2(LoopbackHttpServer::makeIdentity(&certificate, &key, &why), qPrintable(why));

    LoopbackHttpServer server;
    server.setTls(certificate, key);
    QVERIFY(server.listenLoopback());
    server.setHandler([](LoopbackHttpServer *s, int i) { s->respond(i, 200, responseDocument("secret")); });

    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    QSslConfiguration config = client.sslConfiguration();
    config.setProtocol(QSsl::AnyProtocol);
    client.setSslConfiguration(config);
    QCOMPARE(client.sslConfiguration().protocol(), QSsl::AnyProtocol);

    QList<QNetworkReply *> errorReplies;
    QList<QSslError> errors;
    connect(&client, &MaiaXmlRpcClient::sslErrors, this,
            [&, ignore](QNetworkReply *reply, const QList<QSslError> &list) {
                errorReplies.append(reply);
                errors = list;
                if (ignore)
                    reply->ignoreSslErrors();
            });
    CallRecorder recorder;
    QNetworkReply *reply = callWith(client, recorder, "m");
    QTRY_COMPARE(recorder.count(), 1);

    QCOMPARE(errorReplies, QList<QNetworkReply *> {reply});
    QVERIFY(!errors.isEmpty());
    if (ignore) {
        QVERIFY(!recorder.last().isFault);
        QCOMPARE(recorder.last().value, QVariant("secret"));
    } else {
        QVERIFY(recorder.last().isFault);
        QCOMPARE(recorder.last().code, -32300);
        QCOMPARE(server.requests().size(), 0);
    }
}

void TestMaiaXmlRpcClient::inactivity_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<bool>("timesOut");

    QTest::newRow("no-answer") << "silent" << true;
    QTest::newRow("stalls-mid-body") << "stall" << true;
    QTest::newRow("trickles-longer-than-the-timeout-in-total") << "trickle" << false;
}

void TestMaiaXmlRpcClient::inactivity()
{
    QFETCH(QString, behaviour);
    QFETCH(bool, timesOut);

    const int timeout = 400;
    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    const QByteArray body = responseDocument("slow");
    server.setHandler([behaviour, body](LoopbackHttpServer *s, int i) {
        if (behaviour == "stall") {
            s->writeRaw(i, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<?xml");
        } else if (behaviour == "trickle") {
            s->writeRaw(i, "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
            // Eight pieces 150 ms apart: 1.2 s in all, never 400 ms silent.
            auto timer = new QTimer(s);
            auto sent = std::make_shared<int>(0);
            QObject::connect(timer, &QTimer::timeout, s, [s, i, body, timer, sent] {
                const int piece = (body.size() + 7) / 8;
                s->writeRaw(i, body.mid(*sent * piece, piece));
                if (++*sent == 8)
                    timer->deleteLater();
            });
            timer->start(150);
        }
    });
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    QCOMPARE(client.inactivityTimeout(), 120000);
    client.setInactivityTimeout(timeout);

    CallRecorder recorder;
    QElapsedTimer elapsed;
    elapsed.start();
    callWith(client, recorder, "m");
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, 10000);
    if (timesOut) {
        QVERIFY(recorder.last().isFault);
        QCOMPARE(recorder.last().code, -32300);
        QCOMPARE(recorder.last().text, QString("no data from the server for 0.4 s"));
        QVERIFY(elapsed.elapsed() >= timeout);
    } else {
        QVERIFY2(!recorder.last().isFault, qPrintable(recorder.last().text));
        QCOMPARE(recorder.last().value, QVariant("slow"));
    }

    // The client still works afterwards.
    server.setHandler([](LoopbackHttpServer *s, int i) { s->respond(i, 200, responseDocument(2)); });
    callWith(client, recorder, "again");
    QTRY_COMPARE(recorder.count(), 2);
    QCOMPARE(recorder.last().value, QVariant(2));
}

void TestMaiaXmlRpcClient::oversizedResponse_data()
{
    QTest::addColumn<bool>("endless");

    QTest::newRow("declared-length-over-the-cap") << false;
    QTest::newRow("endless-body-without-length") << true;
}

void TestMaiaXmlRpcClient::oversizedResponse()
{
    QFETCH(bool, endless);

    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    server.setHandler([endless](LoopbackHttpServer *s, int i) {
        if (endless)
            s->streamEndlessly(i);
        else
            s->writeRaw(i, "HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\n<?xml version=\"1.0\"?>");
    });
    MaiaXmlRpcClient client(QUrl(server.baseUrl()));
    QCOMPARE(client.maximumResponseSize(), qint64(64) * 1024 * 1024);
    client.setMaximumResponseSize(1024 * 1024);

    CallRecorder recorder;
    callWith(client, recorder, "m");
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, 20000);
    QVERIFY(recorder.last().isFault);
    QCOMPARE(recorder.last().code, -32300);
    QCOMPARE(recorder.last().text, QString("response larger than 1048576 bytes"));
}

// Qt reads HTTP on its own thread; unless it is held back, a busy GUI
// thread lets it queue an endless body without bound, whatever the cap.
void TestMaiaXmlRpcClient::sizeCapHoldsWhileThreadIsBusy()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo::exists(python))
        QSKIP("Debian's python3 is not installed");
    QProcess server;
    server.start(
        python,
        {QDir(qEnvironmentVariable("VESK_SOURCE_DIR")).filePath("tests/KorvalenUploader/xmlrpc/xmlrpc_peer.py"),
         "endless"});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine() || server.state() != QProcess::Running, 20000);
    const int port = server.readLine().trimmed().toInt();
    QVERIFY2(port > 0, server.readAllStandardError().constData());

    MaiaXmlRpcClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/RPC2").arg(port)));
    client.setMaximumResponseSize(1024 * 1024);
    CallRecorder recorder;
    QNetworkReply *reply = callWith(client, recorder, "m");
    bool busy = false;
    connect(reply, &QNetworkReply::metaDataChanged, this, [&busy] {
        if (!busy) {
            busy = true;
            QThread::msleep(1000); // the GUI thread busy with something else
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, 20000);
    QVERIFY(busy);
    QCOMPARE(recorder.last().code, -32300);
    QCOMPARE(recorder.last().text, QString("response larger than 1048576 bytes"));

    // What the server got rid of is what this process had to take in:
    // the cap, the read buffer and the sockets' buffers, not a second's worth.
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 20000);
    const qint64 sent = server.readLine().trimmed().toLongLong();
    QVERIFY2(sent < 48 * 1024 * 1024, qPrintable(QString::number(sent)));

    server.closeWriteChannel();
    if (!server.waitForFinished(5000))
        server.kill();
    server.waitForFinished(5000);
}

void TestMaiaXmlRpcClient::receiverDestroysClient_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("in-response-slot") << 200 << responseDocument(1);
    QTest::newRow("in-fault-slot-server-fault") << 200 << MaiaFault(1, "no").toString().toUtf8();
    QTest::newRow("in-fault-slot-network-error") << 503 << QByteArray("down");
    QTest::newRow("in-fault-slot-garbage") << 200 << QByteArray("garbage");
}

void TestMaiaXmlRpcClient::receiverDestroysClient()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    QPointer<QObject> owner = new QObject;
    auto client = new MaiaXmlRpcClient(QUrl(server.baseUrl()), owner);
    CallRecorder recorder;
    recorder.setAfter([&owner] { delete owner.data(); });
    callWith(*client, recorder, "answered");
    CallRecorder waiting;
    callWith(*client, waiting, "waiting");
    QTRY_COMPARE(server.requests().size(), 2);

    const int answered = server.requests().at(0).body.contains(">answered<") ? 0 : 1;
    server.respond(answered, status, body);
    QTRY_COMPARE(recorder.count(), 1);
    QVERIFY(owner.isNull());

    // The waiting call's connection is dropped once the manager is gone,
    // and its receivers hear nothing.
    QTRY_VERIFY(server.requests().at(1 - answered).socket.isNull());
    server.respond(1 - answered, 200, responseDocument(2));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(waiting.count(), 0);
    QCOMPARE(recorder.count(), 1);
}

void TestMaiaXmlRpcClient::destroyingClientWithCallsInFlight()
{
    LoopbackHttpServer server;
    QVERIFY(server.listenLoopback());
    auto client = new MaiaXmlRpcClient(QUrl(server.baseUrl()));
    CallRecorder recorder;
    callWith(*client, recorder, "one");
    callWith(*client, recorder, "two");
    QTRY_COMPARE(server.requests().size(), 2);

    delete client;
    QTRY_VERIFY(server.requests().at(0).socket.isNull() && server.requests().at(1).socket.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(recorder.count(), 0);
}

QTEST_GUILESS_MAIN(TestMaiaXmlRpcClient)
#include "tst_maiaxmlrpcclient.moc"
