#include "qftp.h"
#include "scriptedftpserver.h"

#include <QBuffer>
#include <QFile>
#include <QNetworkInterface>
#include <QTemporaryDir>
#include <QtTest>

// Protocol and fault cases against an in-process scripted server.
class TestQFtp : public QObject {
    Q_OBJECT

private:
    static QByteArray pattern(int size);
    static bool haveIPv6Loopback();
    // Queues the connection and the usual login; returns the login's id.
    static int connectAndLogin(QFtp &ftp, const ScriptedFtpServer &server,
                               const QString &host = QStringLiteral("127.0.0.1"));

private Q_SLOTS:
    void init();
    void cleanup();
    void login_data();
    void login();
    void download_data();
    void download();
    void downloadFailure_data();
    void downloadFailure();
    void extendedModes_data();
    void extendedModes();
    void upload_data();
    void upload();
    void uploadFailure_data();
    void uploadFailure();
    void localDeviceFailure_data();
    void localDeviceFailure();
    void invalidName_data();
    void invalidName();
    void listing();
    void abortFromListing_data();
    void abortFromListing();
    void serviceClosingDropsQueue();
    void controlFloodWhileDataOpen();
    void abortTransfer_data();
    void abortTransfer();
    void abortReplies_data();
    void abortReplies();
    void staleDataErrorAfterReconnect();
    void inactivityTimeout_data();
    void inactivityTimeout();
    void utf8Names();
    void abortBeforeStart();
    void abortFromCommandFinished();
    void errorThenNewCommands();
    void connectFailure_data();
    void connectFailure();
    void statesAndClose();
    void rawCommand();
    void proxyLogin();

private:
    QTemporaryDir *m_dir = nullptr;
};

namespace {

// Qt only warns when a method runs on a null QObject; collect the warnings to catch that.
QStringList g_warnings;

// Operations that send a name given by the caller.
enum NameOperation {
    List,
    Cd,
    Get,
    PutData,
    PutDevice,
    Remove,
    Mkdir,
    Rmdir,
    RenameFrom,
    RenameTo,
    User,
    Password,
    Raw
};

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        g_warnings << message;
}

}

QByteArray TestQFtp::pattern(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xff);
    return data;
}

bool TestQFtp::haveIPv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

int TestQFtp::connectAndLogin(QFtp &ftp, const ScriptedFtpServer &server, const QString &host)
{
    ftp.connectToHost(host, server.port());
    return ftp.login(QStringLiteral("u"), QStringLiteral("p"));
}

void TestQFtp::init()
{
    QStandardPaths::setTestModeEnabled(true);
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void TestQFtp::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

void TestQFtp::login_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("split");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("errorString");

    const QStringList full = {"USER u", "PASS p", "FEAT", "CWD dir"};
    QTest::newRow("331 then PASS") << QByteArray() << QByteArray() << false << full << QString();
    QTest::newRow("230 to USER sends no PASS") << QByteArray("USER") << QByteArray("230 No password needed\r\n")
                                               << false << QStringList {"USER u", "FEAT", "CWD dir"} << QString();
    QTest::newRow("multi-line 230 counts once")
        << QByteArray("PASS") << QByteArray("230-Welcome\r\n230-Second line\r\n230 Logged in\r\n") << false << full
        << QString();
    QTest::newRow("multi-line 230 with free lines")
        << QByteArray("PASS") << QByteArray("230-Welcome\r\n  indented text\r\n2300 is no end\r\n230 Logged in\r\n")
        << false << full << QString();
    QTest::newRow("reply split across reads") << QByteArray() << QByteArray() << true << full << QString();
    QTest::newRow("530 stops the queue") << QByteArray("PASS") << QByteArray("530 Login incorrect.\r\n") << false
                                         << QStringList {"USER u", "PASS p"}
                                         << QStringLiteral("Login failed:\nLogin incorrect.");
    QTest::newRow("421 to USER") << QByteArray("USER") << QByteArray("421 Too many users\r\n") << false
                                 << QStringList {"USER u"} << QStringLiteral("Login failed:\nToo many users");
}

void TestQFtp::login()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, reply);
    QFETCH(bool, split);
    QFETCH(QStringList, lines);
    QFETCH(QString, errorString);

    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    if (!verb.isEmpty())
        server.setReply(verb, reply);
    server.setSplitReplies(split);

    QFtp ftp;
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy states(&ftp, &QFtp::stateChanged);
    const int loginId = connectAndLogin(ftp, server);
    const int cdId = ftp.cd(QStringLiteral("dir"));
    QVERIFY(done.wait(10000));

    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), !errorString.isEmpty());
    QCOMPARE(server.received(), lines);
    if (errorString.isEmpty()) {
        QCOMPARE(finished.count(), 3);
        QCOMPARE(finished.at(1).at(0).toInt(), loginId);
        QCOMPARE(finished.at(2).at(0).toInt(), cdId);
        QCOMPARE(finished.at(2).at(1).toBool(), false);
        QCOMPARE(ftp.state(), QFtp::LoggedIn);
        QVERIFY(states.contains(QVariantList {int(QFtp::LoggedIn)}));
    } else {
        QCOMPARE(finished.count(), 2);
        QCOMPARE(finished.at(1).at(0).toInt(), loginId);
        QCOMPARE(finished.at(1).at(1).toBool(), true);
        QCOMPARE(ftp.error(), QFtp::UnknownError);
        QCOMPARE(ftp.errorString(), errorString);
    }
}

void TestQFtp::download_data()
{
    QTest::addColumn<QFtp::TransferMode>("mode");
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("passiveHost");
    QTest::addColumn<int>("variant");
    QTest::addColumn<bool>("sizeKnown");

    enum { Plain, RepliesTogether, FinalFirst, Device, Stranger };
    QTest::newRow("passive") << QFtp::Passive << QByteArray() << QByteArray() << QByteArray() << int(Plain) << true;
    QTest::newRow("active") << QFtp::Active << QByteArray() << QByteArray() << QByteArray() << int(Plain) << true;
    QTest::newRow("passive into device") << QFtp::Passive << QByteArray() << QByteArray() << QByteArray() << int(Device)
                                         << true;
    QTest::newRow("active into device") << QFtp::Active << QByteArray() << QByteArray() << QByteArray() << int(Device)
                                        << true;
    QTest::newRow("failing SIZE still transfers, total -1")
        << QFtp::Passive << QByteArray("SIZE") << QByteArray("550 SIZE not allowed in ASCII\r\n") << QByteArray()
        << int(Plain) << false;
    QTest::newRow("227 naming another host")
        << QFtp::Passive << QByteArray() << QByteArray() << QByteArray("10,99,98,97") << int(Plain) << true;
    QTest::newRow("several replies in one read")
        << QFtp::Passive << QByteArray() << QByteArray() << QByteArray() << int(RepliesTogether) << true;
    QTest::newRow("226 before the data connection closes")
        << QFtp::Passive << QByteArray() << QByteArray() << QByteArray() << int(FinalFirst) << true;
    QTest::newRow("active, 226 before the data connection closes")
        << QFtp::Active << QByteArray() << QByteArray() << QByteArray() << int(FinalFirst) << true;
    // Linux routes all of 127/8 to the loopback device, so 127.0.0.2 is another local host.
    QTest::newRow("active, another host connects first")
        << QFtp::Active << QByteArray() << QByteArray() << QByteArray() << int(Stranger) << true;
}

void TestQFtp::download()
{
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, passiveHost);
    QFETCH(int, variant);
    QFETCH(bool, sizeKnown);

    const QByteArray content = pattern(300 * 1024 + 17);
    ScriptedFtpServer server;
    server.setFile(content);
    if (!verb.isEmpty())
        server.setReply(verb, reply);
    server.setPassiveHost(passiveHost);
    server.setRepliesAfterData(variant == 1);
    server.setFinalBeforeClose(variant == 2);

    QFile file(m_dir->filePath(QStringLiteral("out.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));

    // Reaches the listener before the server does and offers its own data.
    QTcpSocket stranger;
    bool strangerConnected = false;
    if (variant == 4) {
        connect(&server, &ScriptedFtpServer::lineReceived, this, [&](const QString &line) {
            const QStringList n = line.mid(5).split(QLatin1Char(','));
            if (!line.startsWith(QLatin1String("PORT ")) || n.size() != 6)
                return;
            if (!stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
                return;
            stranger.connectToHost(QHostAddress::LocalHost, quint16(n[4].toUInt() * 256 + n[5].toUInt()));
            strangerConnected = stranger.waitForConnected(5000);
            stranger.write("EVIL");
            stranger.flush();
        });
    }

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy progress(&ftp, &QFtp::dataTransferProgress);
    QByteArray received;
    connect(&ftp, &QFtp::readyRead, this, [&]() { received += ftp.readAll(); });
    ftp.setTransferMode(mode);
    QCOMPARE(ftp.transferMode(), mode);
    connectAndLogin(ftp, server);
    ftp.get(QStringLiteral("file.bin"), variant == 3 ? &file : nullptr);
    QVERIFY(done.wait(10000));
    QCOMPARE(done.at(0).at(0).toBool(), false);
    QCOMPARE(ftp.errorString(), QStringLiteral("Unknown error"));

    file.close();
    if (variant == 3) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        received = file.readAll();
    }
    QCOMPARE(received.size(), content.size());
    QVERIFY(received == content);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(content.size()));
    QCOMPARE(progress.last().at(1).toLongLong(), sizeKnown ? qint64(content.size()) : qint64(-1));
    QVERIFY(server.verbs().contains(mode == QFtp::Passive ? "PASV" : "PORT"));
    QCOMPARE(server.verbs().last(), QStringLiteral("RETR"));
    if (variant == 4) {
        QVERIFY(strangerConnected);
        QTRY_COMPARE(stranger.state(), QAbstractSocket::UnconnectedState);
    }
}

void TestQFtp::downloadFailure_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("sendLimit");
    QTest::addColumn<bool>("retrSent");
    QTest::addColumn<QString>("errorString");
    QTest::addColumn<bool>("stillConnected");
    QTest::addColumn<QFtp::TransferMode>("mode");
    QTest::addColumn<bool>("noData");

    QTest::newRow("227 octet over 255") << QByteArray("PASV")
                                        << QByteArray("227 Entering Passive Mode (127,0,0,1,300,1)\r\n") << -1 << false
                                        << QStringLiteral("Downloading file failed:\nInvalid address in passive mode "
                                                          "reply: Entering Passive Mode (127,0,0,1,300,1)")
                                        << true << QFtp::Passive << false;
    QTest::newRow("227 port zero") << QByteArray("PASV") << QByteArray("227 Passive (127,0,0,1,0,0)\r\n") << -1 << false
                                   << QStringLiteral("Downloading file failed:\nInvalid address in passive mode "
                                                     "reply: Passive (127,0,0,1,0,0)")
                                   << true << QFtp::Passive << false;
    QTest::newRow("227 number that overflows")
        << QByteArray("PASV") << QByteArray("227 Passive (127,0,0,1,4294967297,1)\r\n") << -1 << false
        << QStringLiteral("Downloading file failed:\nInvalid address in passive mode reply: Passive "
                          "(127,0,0,1,4294967297,1)")
        << true << QFtp::Passive << false;
    QTest::newRow("227 without numbers") << QByteArray("PASV") << QByteArray("227 Passive mode on\r\n") << -1 << false
                                         << QStringLiteral("Downloading file failed:\nInvalid address in passive "
                                                           "mode reply: Passive mode on")
                                         << true << QFtp::Passive << false;
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    QTest::newRow("data connection refused")
        << QByteArray("PASV")
        << QStringLiteral("227 Entering Passive Mode (127,0,0,1,%1,%2)\r\n")
               .arg(closedPort / 256)
               .arg(closedPort % 256)
               .toLatin1()
        << -1 << false << QStringLiteral("Downloading file failed:\nConnection refused for data connection") << true
        << QFtp::Passive << false;
    QTest::newRow("data connection closes early")
        << QByteArray() << QByteArray() << 5000 << true
        << QStringLiteral("Downloading file failed:\nData connection closed after 5000 of 20000 bytes") << true
        << QFtp::Passive << false;
    QTest::newRow("RETR refused") << QByteArray("RETR") << QByteArray("550 No such file.\r\n") << -1 << true
                                  << QStringLiteral("Downloading file failed:\nNo such file.") << true << QFtp::Passive
                                  << false;
    QTest::newRow("malformed reply line") << QByteArray("SIZE") << QByteArray("hello there\r\n") << -1 << false
                                          << QStringLiteral("Downloading file failed:\nMalformed reply from server: "
                                                            "hello there")
                                          << false << QFtp::Passive << false;
    QTest::newRow("reply code out of range") << QByteArray("SIZE") << QByteArray("613 what\r\n") << -1 << false
                                             << QStringLiteral("Downloading file failed:\nMalformed reply from "
                                                               "server: 613 what")
                                             << false << QFtp::Passive << false;
    QTest::newRow("over-long reply line")
        << QByteArray("TYPE") << QByteArray("200 " + QByteArray(9000, 'x') + "\r\n") << -1 << false
        << QStringLiteral("Downloading file failed:\nReply line from server too "
                          "long")
        << false << QFtp::Passive << false;
    QByteArray huge = "200-start\r\n";
    while (huge.size() < 1100 * 1024)
        huge += QByteArray(1000, 'y') + "\r\n";
    huge += "200 end\r\n";
    QTest::newRow("over-long multi-line reply")
        << QByteArray("TYPE") << huge << -1 << false
        << QStringLiteral("Downloading file failed:\nReply from server too long") << false << QFtp::Passive << false;
    QTest::newRow("active, data connection closes early")
        << QByteArray() << QByteArray() << 5000 << true
        << QStringLiteral("Downloading file failed:\nData connection closed after 5000 of 20000 bytes") << true
        << QFtp::Active << false;
    // The server answers 150 and 226 but sends nothing.
    QTest::newRow("active, server never connects")
        << QByteArray() << QByteArray() << -1 << true
        << QStringLiteral("Downloading file failed:\nThe server did not open the data connection") << true
        << QFtp::Active << true;
    QTest::newRow("passive, data connection closed at once")
        << QByteArray() << QByteArray() << -1 << true
        << QStringLiteral("Downloading file failed:\nData connection closed after 0 of 20000 bytes") << true
        << QFtp::Passive << true;
}

void TestQFtp::downloadFailure()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, reply);
    QFETCH(int, sendLimit);
    QFETCH(bool, retrSent);
    QFETCH(QString, errorString);
    QFETCH(bool, stillConnected);
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(bool, noData);

    ScriptedFtpServer server;
    server.setFile(pattern(20000));
    if (!verb.isEmpty())
        server.setReply(verb, reply);
    if (sendLimit >= 0)
        server.setSendLimit(sendLimit, false);
    server.setNoData(noData);

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    ftp.setTransferMode(mode);
    connectAndLogin(ftp, server);
    const int getId = ftp.get(QStringLiteral("file.bin"));
    const int cdId = ftp.cd(QStringLiteral("never"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(finished.last().at(0).toInt(), getId);
    QCOMPARE(finished.last().at(1).toBool(), true);
    QCOMPARE(ftp.errorString(), errorString);
    QCOMPARE(server.verbs().contains("RETR"), retrSent);
    QVERIFY(!server.verbs().contains("CWD"));
    Q_UNUSED(cdId);

    // The engine stays usable: on the same connection when it can be trusted, else after reconnecting.
    if (stillConnected) {
        QCOMPARE(ftp.state(), QFtp::LoggedIn);
    } else {
        QTRY_COMPARE(ftp.state(), QFtp::Unconnected);
        ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    }
    server.setReply("MKD", "257 \"fresh\" created\r\n");
    ftp.mkdir(QStringLiteral("fresh"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received().last(), QStringLiteral("MKD fresh"));
}

void TestQFtp::extendedModes_data()
{
    QTest::addColumn<QFtp::TransferMode>("mode");
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("transferVerbs");
    QTest::addColumn<QString>("errorString");

    QTest::newRow("EPSV") << QFtp::Passive << QByteArray() << QByteArray() << QStringList {"EPSV"} << QString();
    QTest::newRow("EPSV answered 500 falls back to PASV")
        << QFtp::Passive << QByteArray("EPSV") << QByteArray("500 Unknown command\r\n") << QStringList {"EPSV", "PASV"}
        << QString();
    QTest::newRow("EPSV with a bad port")
        << QFtp::Passive << QByteArray("EPSV") << QByteArray("229 Extended Passive Mode (|||70000|)\r\n")
        << QStringList {"EPSV"}
        << QStringLiteral("Downloading file failed:\nInvalid port in extended "
                          "passive mode reply: Extended Passive Mode (|||70000|)");
    QTest::newRow("EPRT") << QFtp::Active << QByteArray() << QByteArray() << QStringList {"EPRT"} << QString();
    QTest::newRow("EPRT answered 500 cannot fall back to PORT over IPv6")
        << QFtp::Active << QByteArray("EPRT") << QByteArray("500 Unknown command\r\n") << QStringList {"EPRT"}
        << QStringLiteral("Downloading file failed:\nActive mode over IPv6 needs EPRT, which the server refused");
}

void TestQFtp::extendedModes()
{
    if (!haveIPv6Loopback())
        QSKIP("No IPv6 loopback on this machine");
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, transferVerbs);
    QFETCH(QString, errorString);

    const QByteArray content = pattern(70000);
    ScriptedFtpServer server(QHostAddress::LocalHostIPv6);
    QVERIFY(server.isListening());
    server.setFile(content);
    if (!verb.isEmpty())
        server.setReply(verb, reply);

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QByteArray received;
    connect(&ftp, &QFtp::readyRead, this, [&]() { received += ftp.readAll(); });
    ftp.setTransferMode(mode);
    connectAndLogin(ftp, server, QStringLiteral("::1"));
    ftp.get(QStringLiteral("file.bin"));
    QVERIFY(done.wait(10000));

    QStringList seen;
    for (const QString &v : server.verbs()) {
        if (v == "EPSV" || v == "PASV" || v == "EPRT" || v == "PORT")
            seen << v;
    }
    QCOMPARE(seen, transferVerbs);
    QCOMPARE(done.last().at(0).toBool(), !errorString.isEmpty());
    if (errorString.isEmpty()) {
        QVERIFY(received == content);
        return;
    }
    QCOMPARE(ftp.errorString(), errorString);
    QVERIFY(!server.verbs().contains("RETR"));
    ftp.cd(QStringLiteral("next"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received().last(), QStringLiteral("CWD next"));
}

void TestQFtp::upload_data()
{
    QTest::addColumn<QFtp::TransferMode>("mode");
    QTest::addColumn<int>("source");
    QTest::addColumn<QByteArray>("alloReply");

    enum { Bytes, UnopenedFile, OpenBuffer };
    QTest::newRow("passive from memory") << QFtp::Passive << int(Bytes) << QByteArray();
    QTest::newRow("active from memory") << QFtp::Active << int(Bytes) << QByteArray();
    QTest::newRow("passive from an unopened file") << QFtp::Passive << int(UnopenedFile) << QByteArray();
    QTest::newRow("active from an unopened file") << QFtp::Active << int(UnopenedFile) << QByteArray();
    QTest::newRow("from an open buffer") << QFtp::Passive << int(OpenBuffer) << QByteArray();
    QTest::newRow("failing ALLO is ignored") << QFtp::Passive << int(Bytes) << QByteArray("504 ALLO not supported\r\n");
    QTest::newRow("ALLO answered 202 is ignored")
        << QFtp::Passive << int(UnopenedFile) << QByteArray("202 No storage allocation necessary\r\n");
}

void TestQFtp::upload()
{
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(int, source);
    QFETCH(QByteArray, alloReply);

    const QByteArray content = pattern(2 * 1024 * 1024 + 3);
    ScriptedFtpServer server;
    if (!alloReply.isEmpty())
        server.setReply("ALLO", alloReply);
    QFile file(m_dir->filePath(QStringLiteral("in.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QBuffer buffer;
    buffer.setData(content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy progress(&ftp, &QFtp::dataTransferProgress);
    ftp.setTransferMode(mode);
    connectAndLogin(ftp, server);
    if (source == 0)
        ftp.put(content, QStringLiteral("up.bin"));
    else if (source == 1)
        ftp.put(&file, QStringLiteral("up.bin"));
    else
        ftp.put(&buffer, QStringLiteral("up.bin"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received().last(), QStringLiteral("STOR up.bin"));
    QVERIFY(server.received().contains(QStringLiteral("ALLO %1").arg(content.size())));
    QCOMPARE(server.uploaded().size(), content.size());
    QVERIFY(server.uploaded() == content);
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(content.size()));
    QCOMPARE(progress.last().at(1).toLongLong(), qint64(content.size()));
    // What the engine opened it closes again; what the caller opened stays open.
    QVERIFY(!file.isOpen());
    QVERIFY(buffer.isOpen());
}

void TestQFtp::uploadFailure_data()
{
    QTest::addColumn<QFtp::TransferMode>("mode");
    QTest::addColumn<QString>("errorString");

    // The server answers 150 and 226 but takes nothing.
    QTest::newRow("active, server never connects")
        << QFtp::Active << QStringLiteral("Uploading file failed:\nThe server did not open the data connection");
    QTest::newRow("passive, data connection closed at once")
        << QFtp::Passive
        << QStringLiteral("Uploading file failed:\nData connection closed after 0 bytes of the upload");
}

void TestQFtp::uploadFailure()
{
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(QString, errorString);

    ScriptedFtpServer server;
    server.setNoData(true);
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    ftp.setTransferMode(mode);
    connectAndLogin(ftp, server);
    const int putId = ftp.put(pattern(20000), QStringLiteral("up.bin"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QCOMPARE(finished.last().at(0).toInt(), putId);
    QCOMPARE(finished.last().at(1).toBool(), true);
    QCOMPARE(ftp.errorString(), errorString);
    QCOMPARE(server.received().last(), QStringLiteral("STOR up.bin"));

    ftp.cd(QStringLiteral("next"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
}

void TestQFtp::localDeviceFailure_data()
{
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QString>("errorPrefix");

    QTest::newRow("put of a file that cannot be opened")
        << true << QStringLiteral("Uploading file failed:\nCannot open the local file: ");
    QTest::newRow("get into a device not open for writing")
        << false << QStringLiteral("Downloading file failed:\nThe local file is not open for writing");
}

void TestQFtp::localDeviceFailure()
{
    QFETCH(bool, upload);
    QFETCH(QString, errorPrefix);

    ScriptedFtpServer server;
    server.setFile(pattern(1000));
    QFile missing(m_dir->filePath(QStringLiteral("no/such/file")));

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    connectAndLogin(ftp, server);
    if (upload)
        ftp.put(&missing, QStringLiteral("remote.bin"));
    else
        ftp.get(QStringLiteral("remote.bin"), &missing);
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QVERIFY2(ftp.errorString().startsWith(errorPrefix), qPrintable(ftp.errorString()));
    QVERIFY(!server.verbs().contains("STOR"));
    QVERIFY(!server.verbs().contains("RETR"));
    QVERIFY(!server.verbs().contains("TYPE"));

    ftp.cd(QStringLiteral("after"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
}

void TestQFtp::invalidName_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("errorString");

    const QString injected = QStringLiteral("x\r\nDELE important.txt");
    const QString invalid = QStringLiteral("Invalid character in name");
    QTest::newRow("list") << int(List) << injected << QStringLiteral("Listing directory failed:\n") + invalid;
    QTest::newRow("cd") << int(Cd) << injected << QStringLiteral("Changing directory failed:\n") + invalid;
    QTest::newRow("cd, bare LF") << int(Cd) << QStringLiteral("x\nDELE important.txt")
                                 << QStringLiteral("Changing directory failed:\n") + invalid;
    QTest::newRow("cd, bare CR") << int(Cd) << QStringLiteral("x\rDELE important.txt")
                                 << QStringLiteral("Changing directory failed:\n") + invalid;
    QTest::newRow("cd, NUL") << int(Cd) << QString::fromLatin1("x\0y", 3)
                             << QStringLiteral("Changing directory failed:\n") + invalid;
    QTest::newRow("get") << int(Get) << injected << QStringLiteral("Downloading file failed:\n") + invalid;
    QTest::newRow("put from memory") << int(PutData) << injected
                                     << QStringLiteral("Uploading file failed:\n") + invalid;
    QTest::newRow("put from a device") << int(PutDevice) << injected
                                       << QStringLiteral("Uploading file failed:\n") + invalid;
    QTest::newRow("remove") << int(Remove) << injected << QStringLiteral("Removing file failed:\n") + invalid;
    QTest::newRow("mkdir") << int(Mkdir) << injected << QStringLiteral("Creating directory failed:\n") + invalid;
    QTest::newRow("rmdir") << int(Rmdir) << injected << QStringLiteral("Removing directory failed:\n") + invalid;
    QTest::newRow("rename, old name") << int(RenameFrom) << injected << invalid;
    QTest::newRow("rename, new name") << int(RenameTo) << injected << invalid;
    QTest::newRow("login, user") << int(User) << injected << QStringLiteral("Login failed:\n") + invalid;
    QTest::newRow("login, password") << int(Password) << injected << QStringLiteral("Login failed:\n") + invalid;
    QTest::newRow("raw command") << int(Raw) << QStringLiteral("NOOP\r\nDELE important.txt") << invalid;
    // Without UTF8 in FEAT, "файл" would go out as "????" and could name another file.
    QTest::newRow("mkdir, beyond Latin-1 without UTF8")
        << int(Mkdir) << QString::fromUtf8("файл") << QStringLiteral("Creating directory failed:\n") + invalid;
    QTest::newRow("get, beyond Latin-1 without UTF8")
        << int(Get) << QString::fromUtf8("photo\u2013 1.jpg") << QStringLiteral("Downloading file failed:\n") + invalid;
}

void TestQFtp::invalidName()
{
    QFETCH(int, operation);
    QFETCH(QString, name);
    QFETCH(QString, errorString);

    ScriptedFtpServer server;
    QBuffer buffer;
    buffer.setData("content");
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(done.wait(10000));
    const QString ok = QStringLiteral("ok");
    int id = 0;
    switch (operation) {
    case List: id = ftp.list(name); break;
    case Cd: id = ftp.cd(name); break;
    case Get: id = ftp.get(name); break;
    case PutData: id = ftp.put(QByteArray("content"), name); break;
    case PutDevice: id = ftp.put(&buffer, name); break;
    case Remove: id = ftp.remove(name); break;
    case Mkdir: id = ftp.mkdir(name); break;
    case Rmdir: id = ftp.rmdir(name); break;
    case RenameFrom: id = ftp.rename(name, ok); break;
    case RenameTo: id = ftp.rename(ok, name); break;
    case User: id = ftp.login(name, ok); break;
    case Password: id = ftp.login(ok, name); break;
    case Raw: id = ftp.rawCommand(name); break;
    }
    QVERIFY(id > 0);
    ftp.cd(QStringLiteral("dropped"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QCOMPARE(finished.last().at(0).toInt(), id);
    QCOMPARE(finished.last().at(1).toBool(), true);
    QCOMPARE(ftp.error(), QFtp::UnknownError);
    QCOMPARE(ftp.errorString(), errorString);

    // Nothing of the refused command reached the server, and the connection still serves.
    ftp.cd(QStringLiteral("next"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received(), QStringList {QStringLiteral("CWD next")});
    QVERIFY(!buffer.isOpen());
}

void TestQFtp::listing()
{
    ScriptedFtpServer server;
    QByteArray listing = "drwxr-xr-x   3 ftp  ftp       4096 Apr 14  2000 examples\r\n"
                         "-rw-r--r--   1 ftp  ftp     123456 Jan  2 10:30 notes.txt\r\n"
                         "garbage that is no entry\r\n"
                         "lrwxrwxrwx   1 ftp  ftp         11 Jan  2  2001 latest -> examples\r\n";
    server.setListing(listing);

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy entries(&ftp, &QFtp::listInfo);
    connectAndLogin(ftp, server);
    ftp.list();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received().mid(3), (QStringList {"TYPE A", "PASV", "LIST"}));
    QCOMPARE(entries.count(), 3);
    QCOMPARE(entries.at(0).at(0).value<QUrlInfo>().name(), QStringLiteral("examples"));
    QCOMPARE(entries.at(1).at(0).value<QUrlInfo>().size(), qint64(123456));
    QCOMPARE(entries.at(2).at(0).value<QUrlInfo>().name(), QStringLiteral("latest"));

    // A line longer than the bound ends the listing with an error.
    server.setListing("-rw-r--r-- 1 a b 1 Jan  2 10:30 " + QByteArray(20000, 'n') + "\r\n");
    ftp.list(QStringLiteral("big"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QCOMPARE(ftp.errorString(), QStringLiteral("Listing directory failed:\nListing line longer than 8192 bytes"));
    QCOMPARE(entries.count(), 3);
}

void TestQFtp::abortFromListing_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QString>("abortAt");
    QTest::addColumn<int>("entriesSeen");

    const QByteArray entries = "-rw-r--r-- 1 a b 1 Jan 01 2001 first\r\n"
                               "-rw-r--r-- 1 a b 1 Jan 01 2001 second\r\n"
                               "-rw-r--r-- 1 a b 1 Jan 01 2001 third\r\n";
    QTest::newRow("first of several in one read") << entries << QStringLiteral("first") << 1;
    // Without a line end the last entry is only parsed when the data connection closes.
    QTest::newRow("last entry, parsed at close")
        << QByteArray(entries + "-rw-r--r-- 1 a b 1 Jan 01 2001 last") << QStringLiteral("last") << 4;
}

void TestQFtp::abortFromListing()
{
    QFETCH(QByteArray, listing);
    QFETCH(QString, abortAt);
    QFETCH(int, entriesSeen);

    ScriptedFtpServer server;
    server.setListing(listing);
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QStringList names;
    connect(&ftp, &QFtp::listInfo, this, [&](const QUrlInfo &info) {
        names << info.name();
        if (info.name() == abortAt)
            ftp.abort();
    });
    connectAndLogin(ftp, server);
    ftp.list();
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    const bool finished = done.wait(10000);
    qInstallMessageHandler(previous);
    QVERIFY(finished);
    QCOMPARE(g_warnings, QStringList());
    QCOMPARE(done.last().at(0).toBool(), true);
    QCOMPARE(ftp.errorString(), QStringLiteral("Listing directory failed:\nOperation aborted"));
    QCOMPARE(names.size(), entriesSeen);

    ftp.cd(QStringLiteral("after"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received().last(), QStringLiteral("CWD after"));
}

void TestQFtp::serviceClosingDropsQueue()
{
    ScriptedFtpServer server;
    server.setReply("CWD", "421 Service not available, closing control connection.\r\n");
    server.setCloseAfter("CWD");

    QFtp ftp;
    QSignalSpy started(&ftp, &QFtp::commandStarted);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    QSignalSpy done(&ftp, &QFtp::done);
    connectAndLogin(ftp, server);
    const int cdId = ftp.cd(QStringLiteral("dir"));
    ftp.mkdir(QStringLiteral("x"));
    ftp.list();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(started.count(), 3);
    QCOMPARE(finished.count(), 3);
    QCOMPARE(finished.last().at(0).toInt(), cdId);
    QCOMPARE(finished.last().at(1).toBool(), true);
    QCOMPARE(ftp.errorString(),
             QStringLiteral("Changing directory failed:\nService not available, closing control connection."));
    QVERIFY(!ftp.hasPendingCommands());
    QTRY_COMPARE(ftp.state(), QFtp::Unconnected);
    QCOMPARE(done.count(), 1);
}

void TestQFtp::controlFloodWhileDataOpen()
{
    // A hostile server answers 226 while it keeps the data connection open, then floods
    // the control connection: the engine must not buffer the flood while it holds the 226.
    QTcpServer control;
    QTcpServer data;
    QVERIFY(control.listen(QHostAddress::LocalHost, 0));
    QVERIFY(data.listen(QHostAddress::LocalHost, 0));
    QPointer<QTcpSocket> c;
    QPointer<QTcpSocket> d;
    QByteArray inbox;
    const qint64 floodLimit = 64 * 1024 * 1024;
    const qint64 pushBack = 4 * 1024 * 1024;
    const QByteArray junk = "200 " + QByteArray(1024 * 1024 - 6, 'x') + "\r\n";
    qint64 flooded = 0;
    int stalledTicks = 0;
    QTimer flood;
    flood.setInterval(5);
    connect(&flood, &QTimer::timeout, this, [&]() {
        if (!c)
            return;
        // Counts how long the client has taken nothing: TCP flow control at work.
        if (c->bytesToWrite() >= pushBack) {
            ++stalledTicks;
            return;
        }
        stalledTicks = 0;
        c->write(junk);
        flooded += junk.size();
        if (flooded >= floodLimit)
            flood.stop();
    });
    connect(&data, &QTcpServer::newConnection, this, [&]() {
        d = data.nextPendingConnection();
        d->write("abc");
    });
    connect(&control, &QTcpServer::newConnection, this, [&]() {
        c = control.nextPendingConnection();
        c->write("220 ready\r\n");
        connect(c, &QTcpSocket::readyRead, this, [&]() {
            inbox += c->readAll();
            for (int eol = inbox.indexOf("\r\n"); eol >= 0; eol = inbox.indexOf("\r\n")) {
                const QByteArray line = inbox.left(eol);
                inbox.remove(0, eol + 2);
                if (line.startsWith("USER")) {
                    c->write("230 ok\r\n");
                } else if (line.startsWith("SIZE")) {
                    c->write("213 3\r\n");
                } else if (line.startsWith("PASV")) {
                    const quint16 p = data.serverPort();
                    c->write("227 Passive (127,0,0,1," + QByteArray::number(p / 256) + "," + QByteArray::number(p % 256)
                             + ")\r\n");
                } else if (line.startsWith("RETR")) {
                    c->write("150 go\r\n226 done\r\n");
                    flood.start();
                } else {
                    c->write("200 ok\r\n");
                }
            }
        });
    });

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QByteArray received;
    connect(&ftp, &QFtp::readyRead, this, [&]() { received += ftp.readAll(); });
    ftp.connectToHost(QStringLiteral("127.0.0.1"), control.serverPort());
    ftp.login(QStringLiteral("u"), QStringLiteral("p"));
    ftp.get(QStringLiteral("f"));
    QTRY_VERIFY_WITH_TIMEOUT(flooded >= floodLimit || stalledTicks >= 40, 30000);
    flood.stop();
    auto *pi = ftp.findChild<QTcpSocket *>(QStringLiteral("QFtpPI_socket"));
    QVERIFY(pi);
    QVERIFY2(flooded < floodLimit, "the client took the whole flood");
    QVERIFY2(pi->bytesAvailable() <= 1024 * 1024, QByteArray::number(pi->bytesAvailable()).constData());
    QVERIFY(done.isEmpty());

    // Once the data connection closes, the held 226 ends the download, and reading
    // resumes: the over-long junk lines then end the untrustworthy connection.
    QVERIFY(d);
    d->disconnectFromHost();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.first().at(0).toBool(), false);
    QCOMPARE(received, QByteArray("abc"));
    QTRY_COMPARE_WITH_TIMEOUT(ftp.state(), QFtp::Unconnected, 10000);
}

void TestQFtp::abortTransfer_data()
{
    QTest::addColumn<QFtp::TransferMode>("mode");
    QTest::addColumn<bool>("upload");
    QTest::newRow("passive") << QFtp::Passive << false;
    QTest::newRow("active") << QFtp::Active << false;
    // A page's progress callback that aborts runs while the upload is still writing.
    QTest::newRow("passive upload") << QFtp::Passive << true;
    QTest::newRow("active upload") << QFtp::Active << true;
}

void TestQFtp::abortTransfer()
{
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(bool, upload);

    ScriptedFtpServer server;
    server.setFile(pattern(1024 * 1024));
    server.setSendLimit(4096, true);

    QFtp ftp;
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    QSignalSpy done(&ftp, &QFtp::done);
    connect(&ftp, &QFtp::dataTransferProgress, &ftp, &QFtp::abort);
    ftp.setTransferMode(mode);
    connectAndLogin(ftp, server);
    const int transferId =
        upload ? ftp.put(pattern(4 * 1024 * 1024), QStringLiteral("big.bin")) : ftp.get(QStringLiteral("big.bin"));
    ftp.cd(QStringLiteral("dropped"));
    QVERIFY(done.wait(10000));
    disconnect(&ftp, &QFtp::dataTransferProgress, &ftp, &QFtp::abort);
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(finished.last().at(0).toInt(), transferId);
    QCOMPARE(finished.last().at(1).toBool(), true);
    QCOMPARE(ftp.errorString(),
             upload ? QStringLiteral("Uploading file failed:\nOperation aborted")
                    : QStringLiteral("Downloading file failed:\nOperation aborted"));
    QTRY_VERIFY(server.verbs().contains("ABOR"));

    // The replies to the aborted transfer must not be taken for the next command's.
    server.setReply("MKD", "550 Permission denied.\r\n");
    const int mkdirId = ftp.mkdir(QStringLiteral("next"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QCOMPARE(finished.last().at(0).toInt(), mkdirId);
    QCOMPARE(ftp.errorString(), QStringLiteral("Creating directory failed:\nPermission denied."));
    const int cdId = ftp.cd(QStringLiteral("later"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(finished.last().at(0).toInt(), cdId);
    QVERIFY(!server.received().contains(QStringLiteral("CWD dropped")));
    QCOMPARE(server.received().mid(server.received().indexOf(QStringLiteral("ABOR"))),
             (QStringList {"ABOR", "MKD next", "CWD later"}));
}

void TestQFtp::abortReplies_data()
{
    QTest::addColumn<QByteArray>("aborReply");
    QTest::addColumn<QFtp::TransferMode>("mode");

    QTest::newRow("426 then 226") << QByteArray("426 Transfer aborted\r\n226 ABOR done\r\n") << QFtp::Passive;
    // The reply some servers give on a reset data connection.
    QTest::newRow("1yz then a single 2yz") << QByteArray("150 Closing\r\n226 Abort successful\r\n") << QFtp::Passive;
    QTest::newRow("1yz then a single 2yz, active")
        << QByteArray("150 Closing\r\n226 Abort successful\r\n") << QFtp::Active;
    // vsftpd when the transfer had completed before ABOR arrived.
    QTest::newRow("226 for the transfer, then 225")
        << QByteArray("226 Transfer complete\r\n225 No transfer to ABOR\r\n") << QFtp::Passive;
    QTest::newRow("a single 225") << QByteArray("225 ABOR command successful\r\n") << QFtp::Passive;
    QTest::newRow("ABOR refused") << QByteArray("502 ABOR not implemented\r\n") << QFtp::Passive;
    QTest::newRow("no reply at all") << QByteArray() << QFtp::Passive;
}

void TestQFtp::abortReplies()
{
    QFETCH(QByteArray, aborReply);
    QFETCH(QFtp::TransferMode, mode);

    ScriptedFtpServer server;
    server.setFile(pattern(1024 * 1024));
    server.setSendLimit(4096, true);
    server.setReply("ABOR", aborReply);

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    auto aborter = connect(&ftp, &QFtp::dataTransferProgress, &ftp, &QFtp::abort);
    ftp.setTransferMode(mode);
    connectAndLogin(ftp, server);
    ftp.get(QStringLiteral("big.bin"));
    QVERIFY(done.wait(10000));
    disconnect(aborter);
    QCOMPARE(ftp.errorString(), QStringLiteral("Downloading file failed:\nOperation aborted"));

    // Whatever the reply to ABOR was, the commands queued afterwards run and get their own replies.
    server.setReply("MKD", "550 Permission denied.\r\n");
    const int mkdirId = ftp.mkdir(QStringLiteral("next"));
    QVERIFY(done.wait(10000));
    QCOMPARE(finished.last().at(0).toInt(), mkdirId);
    QCOMPARE(ftp.errorString(), QStringLiteral("Creating directory failed:\nPermission denied."));
    const int cdId = ftp.cd(QStringLiteral("later"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(finished.last().at(0).toInt(), cdId);
    QCOMPARE(server.received().mid(server.received().indexOf(QStringLiteral("ABOR"))),
             (QStringList {"ABOR", "MKD next", "CWD later"}));
}

void TestQFtp::staleDataErrorAfterReconnect()
{
    // The server goes away in the middle of a download; the same object then reconnects.
    ScriptedFtpServer server;
    server.setFile(pattern(20000));
    server.setSendLimit(5000, false);
    server.setDropAfterData(true);

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    connectAndLogin(ftp, server);
    ftp.get(QStringLiteral("file.bin"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QTRY_COMPARE(ftp.state(), QFtp::Unconnected);

    QCOMPARE(ftp.errorString(), QStringLiteral("Downloading file failed:\nConnection closed"));
    server.setDropAfterData(false);
    connectAndLogin(ftp, server);
    ftp.cd(QStringLiteral("dir"));
    QVERIFY(done.wait(10000));
    QCOMPARE(ftp.errorString(), QStringLiteral("Unknown error"));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
}

void TestQFtp::inactivityTimeout_data()
{
    QTest::addColumn<bool>("download");
    QTest::addColumn<QString>("errorString");

    const QString timedOut = QStringLiteral("Timed out: no activity from the server for 0.3 s");
    QTest::newRow("data connection stalls") << true << QStringLiteral("Downloading file failed:\n") + timedOut;
    QTest::newRow("no reply on the control connection")
        << false << QStringLiteral("Changing directory failed:\n") + timedOut;
}

void TestQFtp::inactivityTimeout()
{
    QFETCH(bool, download);
    QFETCH(QString, errorString);

    ScriptedFtpServer server;
    server.setFile(pattern(1024 * 1024));
    server.setSendLimit(4096, true);
    server.setReply("CWD", QByteArray());

    QFtp ftp;
    QCOMPARE(ftp.transferTimeout(), 120000);
    ftp.setTransferTimeout(300);
    QSignalSpy done(&ftp, &QFtp::done);
    connectAndLogin(ftp, server);
    if (download)
        ftp.get(QStringLiteral("big.bin"));
    else
        ftp.cd(QStringLiteral("dir"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), true);
    QCOMPARE(ftp.errorString(), errorString);
    QCOMPARE(ftp.state(), QFtp::Unconnected);
}

void TestQFtp::utf8Names()
{
    ScriptedFtpServer server;
    server.setReply("FEAT", "211-Features:\r\n EPSV\r\n UTF8\r\n211 End\r\n");
    server.setListing(QString::fromUtf8("-rw-r--r-- 1 a b 5 Jan 01 2001 файл.txt\r\n").toUtf8());

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy entries(&ftp, &QFtp::listInfo);
    connectAndLogin(ftp, server);
    ftp.mkdir(QString::fromUtf8("файл"));
    ftp.list();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    // The scripted server records lines as Latin-1: compare the bytes.
    QCOMPARE(server.received().mid(2, 3),
             (QStringList {"FEAT", "OPTS UTF8 ON", QString::fromLatin1(QString::fromUtf8("MKD файл").toUtf8())}));
    QCOMPARE(entries.count(), 1);
    QCOMPARE(entries.at(0).at(0).value<QUrlInfo>().name(), QString::fromUtf8("файл.txt"));
}

void TestQFtp::abortBeforeStart()
{
    QFtp ftp;
    QSignalSpy started(&ftp, &QFtp::commandStarted);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    QSignalSpy done(&ftp, &QFtp::done);
    const int id = ftp.connectToHost(QStringLiteral("127.0.0.1"), 1);
    ftp.login();
    ftp.abort();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), id);
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    QCOMPARE(done.count(), 1);
    QCOMPARE(ftp.currentCommand(), QFtp::None);
    // The zero-delay start must not run a command that is gone.
    QCoreApplication::processEvents();
    QCOMPARE(started.count(), 0);
}

void TestQFtp::abortFromCommandFinished()
{
    // A page's ok callback that aborts runs from commandFinished, with the next command queued.
    ScriptedFtpServer server;
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    connectAndLogin(ftp, server);
    const int firstId = ftp.cd(QStringLiteral("first"));
    const int secondId = ftp.cd(QStringLiteral("second"));
    connect(&ftp, &QFtp::commandFinished, this, [&](int id) {
        if (id == firstId)
            ftp.abort();
    });
    QVERIFY(done.wait(10000));
    QCoreApplication::processEvents();
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(finished.last().at(0).toInt(), secondId);
    QCOMPARE(finished.last().at(1).toBool(), true);
    QVERIFY(!server.received().contains(QStringLiteral("CWD second")));
}

void TestQFtp::errorThenNewCommands()
{
    ScriptedFtpServer server;
    server.setReply("CWD", "550 No such directory.\r\n");

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    connectAndLogin(ftp, server);
    ftp.cd(QStringLiteral("missing"));
    QVERIFY(done.wait(10000));
    QCOMPARE(ftp.errorString(), QStringLiteral("Changing directory failed:\nNo such directory."));

    const int mkdirId = ftp.mkdir(QStringLiteral("made"));
    const int renameId = ftp.rename(QStringLiteral("a"), QStringLiteral("b"));
    const int rmId = ftp.remove(QStringLiteral("c"));
    const int rmdirId = ftp.rmdir(QStringLiteral("d"));
    QVERIFY(mkdirId < renameId && renameId < rmId && rmId < rmdirId);
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(ftp.error(), QFtp::NoError);
    QCOMPARE(server.received().mid(4), (QStringList {"MKD made", "RNFR a", "RNTO b", "DELE c", "RMD d"}));
    QCOMPARE(finished.last().at(0).toInt(), rmdirId);
}

void TestQFtp::connectFailure_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QFtp::Error>("error");
    QTest::addColumn<QString>("errorString");

    // RFC 6761: .invalid never resolves.
    QTest::newRow("host not found") << QStringLiteral("no-such-host.invalid") << false << QByteArray()
                                    << QFtp::HostNotFound
                                    << QStringLiteral("Connecting to host failed:\nHost no-such-host.invalid not "
                                                      "found");

    QTest::newRow("connection refused") << QStringLiteral("127.0.0.1") << false << QByteArray()
                                        << QFtp::ConnectionRefused
                                        << QStringLiteral("Connecting to host failed:\nConnection refused to host "
                                                          "127.0.0.1");
    QTest::newRow("greeting 421") << QStringLiteral("127.0.0.1") << true << QByteArray("421 Too many connections\r\n")
                                  << QFtp::UnknownError
                                  << QStringLiteral("Connecting to host failed:\nToo many connections");
    QTest::newRow("greeting garbage") << QStringLiteral("127.0.0.1") << true << QByteArray("SSH-2.0-OpenSSH\r\n")
                                      << QFtp::UnknownError
                                      << QStringLiteral("Connecting to host failed:\nMalformed reply from server: "
                                                        "SSH-2.0-OpenSSH");
    // Accepts the connection and never greets, like an HTTP port given by mistake.
    QTest::newRow("no greeting") << QStringLiteral("127.0.0.1") << true << QByteArray() << QFtp::UnknownError
                                 << QStringLiteral("Connecting to host failed:\nConnection timed out to host "
                                                   "127.0.0.1");
}

void TestQFtp::connectFailure()
{
    QFETCH(QString, host);
    QFETCH(bool, serverUp);
    QFETCH(QByteArray, greeting);
    QFETCH(QFtp::Error, error);
    QFETCH(QString, errorString);

    quint16 port = 0;
    QScopedPointer<ScriptedFtpServer> server;
    if (!serverUp) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    } else {
        server.reset(new ScriptedFtpServer);
        server->setGreeting(greeting);
        port = server->port();
    }

    QFtp ftp;
    QCOMPARE(ftp.connectTimeout(), 30000);
    // Short enough to wait for; a name lookup keeps the default, as it may be slow.
    if (serverUp)
        ftp.setConnectTimeout(300);
    QSignalSpy done(&ftp, &QFtp::done);
    ftp.connectToHost(host, port);
    ftp.login();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(ftp.error(), error);
    QCOMPARE(ftp.errorString(), errorString);
    QCOMPARE(ftp.state(), QFtp::Unconnected);

    // Not connected any more: a command fails at once with a clear error.
    ftp.cd(QStringLiteral("x"));
    QVERIFY(done.wait(10000));
    QCOMPARE(ftp.error(), QFtp::NotConnected);
    QCOMPARE(ftp.errorString(), QStringLiteral("Changing directory failed:\nNot connected"));
}

void TestQFtp::statesAndClose()
{
    ScriptedFtpServer server;
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy states(&ftp, &QFtp::stateChanged);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    QList<int> startedTypes;
    connect(&ftp, &QFtp::commandStarted, this, [&]() { startedTypes << ftp.currentCommand(); });
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login();
    ftp.close();
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(server.received(), (QStringList {"USER anonymous", "PASS anonymous@", "FEAT", "QUIT"}));
    QCOMPARE(startedTypes, (QList<int> {QFtp::ConnectToHost, QFtp::Login, QFtp::Close}));
    QList<int> seen;
    for (const QList<QVariant> &args : states)
        seen << args.at(0).toInt();
    QCOMPARE(seen.first(), int(QFtp::HostLookup));
    QVERIFY(seen.contains(QFtp::Connected));
    const QList<int> tail = seen.mid(seen.indexOf(QFtp::Connected));
    QCOMPARE(tail, (QList<int> {QFtp::Connected, QFtp::LoggedIn, QFtp::Closing, QFtp::Unconnected}));
    QCOMPARE(ftp.state(), QFtp::Unconnected);
    for (const QList<QVariant> &args : finished)
        QCOMPARE(args.at(1).toBool(), false);
}

void TestQFtp::rawCommand()
{
    ScriptedFtpServer server;
    server.setReply("SYST", "215 UNIX Type: L8\r\n");
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy replies(&ftp, &QFtp::rawCommandReply);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.rawCommand(QStringLiteral("SYST"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(replies.count(), 1);
    QCOMPARE(replies.at(0).at(0).toInt(), 215);
    QCOMPARE(replies.at(0).at(1).toString(), QStringLiteral("UNIX Type: L8"));
}

void TestQFtp::proxyLogin()
{
    // An FTP proxy is reached instead of the server and learns the server from the user name.
    ScriptedFtpServer proxy;
    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    ftp.setProxy(QStringLiteral("127.0.0.1"), proxy.port());
    ftp.connectToHost(QStringLiteral("ftp.example.org"));
    ftp.login(QStringLiteral("u"), QStringLiteral("p"));
    QVERIFY(done.wait(10000));
    QCOMPARE(done.last().at(0).toBool(), false);
    QCOMPARE(proxy.received(), (QStringList {"USER u@ftp.example.org", "PASS p", "FEAT"}));
}

QTEST_GUILESS_MAIN(TestQFtp)
#include "tst_qftp.moc"
