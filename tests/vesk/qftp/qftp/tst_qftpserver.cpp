#include "qftp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// End to end against pyftpdlib (Debian's python3-pyftpdlib), started here on a free port.
class TestQFtpServer : public QObject {
    Q_OBJECT

private:
    bool startServer(const QString &host, QTemporaryDir *home, QProcess *process, quint16 *port, QString *why);
    static void stopServer(QProcess *process);
    static QByteArray sha256(const QString &path);

private Q_SLOTS:
    void session_data();
    void session();
};

bool TestQFtpServer::startServer(const QString &host, QTemporaryDir *home, QProcess *process, quint16 *port,
                                 QString *why)
{
    QString script = qEnvironmentVariable("QFTP_TEST_SERVER");
    if (script.isEmpty())
        script = QFINDTESTDATA("ftpserver.py");
    const QString python = QStringLiteral("/usr/bin/python3");
    if (script.isEmpty() || !QFile::exists(script)) {
        *why = QStringLiteral("Server script ftpserver.py not found (set QFTP_TEST_SERVER)");
        return false;
    }
    if (!QFile::exists(python)) {
        *why = QStringLiteral("/usr/bin/python3 missing: install python3 and python3-pyftpdlib "
                              "(scripts/install-deps.sh)");
        return false;
    }
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(python, {script, host, home->path()});
    if (!process->waitForStarted(10000)) {
        *why = QStringLiteral("cannot start %1: %2").arg(python, process->errorString());
        return false;
    }
    // The script prints its port once it listens, or an error line and exits.
    QByteArray line;
    while (!line.contains('\n') && process->state() == QProcess::Running) {
        process->waitForReadyRead(10000);
        line += process->readAllStandardOutput();
    }
    line += process->readAllStandardOutput();
    if (!line.startsWith("PORT ")) {
        *why = QStringLiteral("No FTP server for the test: python3-pyftpdlib is needed (scripts/install-deps.sh). "
                              "Server said: %1 %2")
                   .arg(QString::fromLocal8Bit(line.trimmed()),
                        QString::fromLocal8Bit(process->readAllStandardError().trimmed()));
        return false;
    }
    *port = quint16(line.mid(5).trimmed().toUInt());
    return *port != 0;
}

void TestQFtpServer::stopServer(QProcess *process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    process->closeWriteChannel();
    if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}

QByteArray TestQFtpServer::sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

void TestQFtpServer::session_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QFtp::TransferMode>("mode");

    QTest::newRow("IPv4 passive") << QStringLiteral("127.0.0.1") << QFtp::Passive;
    QTest::newRow("IPv4 active") << QStringLiteral("127.0.0.1") << QFtp::Active;
    QTest::newRow("IPv6 passive (EPSV)") << QStringLiteral("::1") << QFtp::Passive;
    QTest::newRow("IPv6 active (EPRT)") << QStringLiteral("::1") << QFtp::Active;
}

void TestQFtpServer::session()
{
    QFETCH(QString, host);
    QFETCH(QFtp::TransferMode, mode);

    if (host.contains(QLatin1Char(':'))) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHostIPv6, 0))
            QSKIP("No IPv6 loopback on this machine");
    }

    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir home;
    QTemporaryDir local;
    QVERIFY(home.isValid() && local.isValid());

    QProcess server;
    quint16 port = 0;
    QString why;
    const bool started = startServer(host, &home, &server, &port, &why);
    auto guard = qScopeGuard([&]() { stopServer(&server); });
    QVERIFY2(started, qPrintable(why));

    // Random-looking content across several socket reads and writes.
    const QString source = local.filePath(QStringLiteral("source.bin"));
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray block(64 * 1024, Qt::Uninitialized);
        quint32 x = 0x12345678u;
        for (int n = 0; n < 48; ++n) {
            for (int i = 0; i < block.size(); ++i) {
                x = x * 1664525u + 1013904223u;
                block[i] = char(x >> 24);
            }
            file.write(block);
        }
        file.write("odd tail");
    }
    const qint64 sourceSize = QFileInfo(source).size();

    QFtp ftp;
    QSignalSpy done(&ftp, &QFtp::done);
    QSignalSpy finished(&ftp, &QFtp::commandFinished);
    QList<QUrlInfo> entries;
    connect(&ftp, &QFtp::listInfo, this, [&](const QUrlInfo &info) { entries << info; });
    auto run = [&]() {
        const int before = done.count();
        if (!done.wait(30000) && done.count() == before)
            return QStringLiteral("timed out");
        return done.last().at(0).toBool() ? ftp.errorString() : QString();
    };

    ftp.setTransferMode(mode);
    ftp.connectToHost(host, port);
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.mkdir(QStringLiteral("sub"));
    ftp.cd(QStringLiteral("sub"));
    QFile upload(source);
    ftp.put(&upload, QStringLiteral("a.bin"));
    ftp.list();
    QCOMPARE(run(), QString());
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
    QVERIFY(!upload.isOpen());
    QCOMPARE(sha256(home.filePath(QStringLiteral("sub/a.bin"))), sha256(source));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).name(), QStringLiteral("a.bin"));
    QCOMPARE(entries.at(0).size(), sourceSize);
    QVERIFY(entries.at(0).isFile());

    const QString target = local.filePath(QStringLiteral("back.bin"));
    QFile download(target);
    QVERIFY(download.open(QIODevice::WriteOnly));
    QSignalSpy progress(&ftp, &QFtp::dataTransferProgress);
    ftp.get(QStringLiteral("a.bin"), &download);
    QCOMPARE(run(), QString());
    download.close();
    QCOMPARE(sha256(target), sha256(source));
    QCOMPARE(progress.last().at(0).toLongLong(), sourceSize);
    QCOMPARE(progress.last().at(1).toLongLong(), sourceSize);

    // A download without a device: the data arrive through readAll().
    QByteArray memory;
    connect(&ftp, &QFtp::readyRead, this, [&]() { memory += ftp.readAll(); });
    ftp.get(QStringLiteral("a.bin"));
    QCOMPARE(run(), QString());
    QCOMPARE(QCryptographicHash::hash(memory, QCryptographicHash::Sha256).toHex(), sha256(source));

    ftp.rename(QStringLiteral("a.bin"), QStringLiteral("b.bin"));
    entries.clear();
    ftp.list();
    QCOMPARE(run(), QString());
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).name(), QStringLiteral("b.bin"));

    // Abort in the middle of a download; the session goes on with the next command.
    QFile partial(local.filePath(QStringLiteral("partial.bin")));
    QVERIFY(partial.open(QIODevice::WriteOnly));
    auto aborter = connect(&ftp, &QFtp::dataTransferProgress, &ftp, &QFtp::abort);
    ftp.get(QStringLiteral("b.bin"), &partial);
    QCOMPARE(run(), QStringLiteral("Downloading file failed:\nOperation aborted"));
    disconnect(aborter);
    entries.clear();
    ftp.list();
    QCOMPARE(run(), QString());
    QCOMPARE(entries.size(), 1);

    // Server-side refusals come back as errors and leave the session usable.
    ftp.cd(QStringLiteral("no-such-dir"));
    QVERIFY(run().startsWith(QStringLiteral("Changing directory failed:\n")));
    ftp.get(QStringLiteral("missing.bin"));
    QVERIFY(run().startsWith(QStringLiteral("Downloading file failed:\n")));

    ftp.remove(QStringLiteral("b.bin"));
    ftp.cd(QStringLiteral(".."));
    ftp.rmdir(QStringLiteral("sub"));
    ftp.close();
    QCOMPARE(run(), QString());
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("sub"))));
    QCOMPARE(ftp.state(), QFtp::Unconnected);
}

QTEST_GUILESS_MAIN(TestQFtpServer)
#include "tst_qftpserver.moc"
