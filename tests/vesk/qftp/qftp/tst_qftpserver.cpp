#include "qftp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// End to end against real servers from Debian, started here on a free loopback port:
// pyftpdlib (python3-pyftpdlib) and vsftpd (anonymous, writable "pub", as root).
class TestQFtpServer : public QObject {
    Q_OBJECT

private:
    bool startServer(const QString &host, QTemporaryDir *home, QProcess *process, quint16 *port, QString *why);
    bool startVsftpd(const QString &host, QTemporaryDir *home, QProcess *process, quint16 *port, QString *why);
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

bool TestQFtpServer::startVsftpd(const QString &host, QTemporaryDir *home, QProcess *process, quint16 *port,
                                 QString *why)
{
    const QString binary = QStringLiteral("/usr/sbin/vsftpd");
    if (!QFile::exists(binary)) {
        *why = QStringLiteral("vsftpd missing: install it (scripts/install-deps.sh)");
        return false;
    }
    // vsftpd refuses a writable anonymous root: uploads go to "pub" below it.
    QFile::setPermissions(home->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                              | QFileDevice::ExeOther);
    QDir(home->path()).mkdir(QStringLiteral("pub"));
    QFile::setPermissions(home->filePath(QStringLiteral("pub")), QFileDevice::Permissions(0x7777));
    const QString empty = home->path() + QStringLiteral(".empty");
    QDir().mkpath(empty);
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress(host), 0)) {
            *why = QStringLiteral("cannot find a free port on %1").arg(host);
            return false;
        }
        *port = probe.serverPort();
    }
    const bool ipv6 = host.contains(QLatin1Char(':'));
    const QString config = home->path() + QStringLiteral(".conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    QByteArray text;
    text += ipv6 ? "listen=NO\nlisten_ipv6=YES\nlisten_address6=" : "listen=YES\nlisten_address=";
    text += host.toLatin1() + "\nlisten_port=" + QByteArray::number(*port) + "\n";
    text += "background=NO\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
            "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
            "anon_other_write_enable=YES\nanon_umask=022\nseccomp_sandbox=NO\nxferlog_enable=NO\n"
            "syslog_enable=NO\nutf8_filesystem=YES\n";
    text += "anon_root=" + home->path().toLocal8Bit() + "\nsecure_chroot_dir=" + empty.toLocal8Bit() + "\n";
    text += "vsftpd_log_file=" + home->path().toLocal8Bit() + ".log\n";
    file.write(text);
    file.close();

    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(binary, {config});
    if (!process->waitForStarted(10000)) {
        *why = QStringLiteral("cannot start %1: %2").arg(binary, process->errorString());
        return false;
    }
    // Ready once it greets; it exits at once on a bad configuration or without root.
    for (int attempt = 0; attempt < 100 && process->state() == QProcess::Running; ++attempt) {
        QTcpSocket probe;
        probe.connectToHost(host, *port);
        if (probe.waitForConnected(200) && probe.waitForReadyRead(2000) && probe.readAll().startsWith("220"))
            return true;
        process->waitForFinished(50);
    }
    *why = QStringLiteral("vsftpd did not start (it needs root): %1")
               .arg(QString::fromLocal8Bit(process->readAll().trimmed()));
    return false;
}

void TestQFtpServer::stopServer(QProcess *process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    process->closeWriteChannel();
    if (process->program().endsWith(QLatin1String("vsftpd")))
        process->terminate();
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
    QTest::addColumn<bool>("vsftpd");

    QTest::newRow("IPv4 passive") << QStringLiteral("127.0.0.1") << QFtp::Passive << false;
    QTest::newRow("IPv4 active") << QStringLiteral("127.0.0.1") << QFtp::Active << false;
    QTest::newRow("IPv6 passive (EPSV)") << QStringLiteral("::1") << QFtp::Passive << false;
    QTest::newRow("IPv6 active (EPRT)") << QStringLiteral("::1") << QFtp::Active << false;
    QTest::newRow("vsftpd, IPv4 passive") << QStringLiteral("127.0.0.1") << QFtp::Passive << true;
    QTest::newRow("vsftpd, IPv4 active") << QStringLiteral("127.0.0.1") << QFtp::Active << true;
    QTest::newRow("vsftpd, IPv6 passive (EPSV)") << QStringLiteral("::1") << QFtp::Passive << true;
}

void TestQFtpServer::session()
{
    QFETCH(QString, host);
    QFETCH(QFtp::TransferMode, mode);
    QFETCH(bool, vsftpd);

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
    const bool started =
        vsftpd ? startVsftpd(host, &home, &server, &port, &why) : startServer(host, &home, &server, &port, &why);
    auto guard = qScopeGuard([&]() { stopServer(&server); });
    if (vsftpd && !started)
        QSKIP(qPrintable(why));
    QVERIFY2(started, qPrintable(why));
    // The anonymous vsftpd user may write only below "pub".
    const QString work = vsftpd ? QStringLiteral("pub/") : QString();

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
    if (vsftpd) {
        ftp.login();
        ftp.cd(QStringLiteral("pub"));
    } else {
        ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    }
    ftp.mkdir(QStringLiteral("sub"));
    ftp.cd(QStringLiteral("sub"));
    QFile upload(source);
    ftp.put(&upload, QStringLiteral("a.bin"));
    ftp.list();
    QCOMPARE(run(), QString());
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
    QVERIFY(!upload.isOpen());
    QCOMPARE(sha256(home.filePath(work + QStringLiteral("sub/a.bin"))), sha256(source));
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

    // Both servers list UTF8 in FEAT: names beyond Latin-1 and with leading spaces survive both ways.
    const QString unicodeName = QString::fromUtf8("  файл – ünïcode.txt");
    ftp.put(QByteArray("tiny"), unicodeName);
    entries.clear();
    ftp.list();
    QCOMPARE(run(), QString());
    QVERIFY(QFileInfo::exists(home.filePath(work + QStringLiteral("sub/") + unicodeName)));
    QStringList names;
    for (const QUrlInfo &entry : qAsConst(entries))
        names << entry.name();
    QVERIFY2(names.contains(unicodeName), qPrintable(names.join(QLatin1Char('|'))));
    ftp.remove(unicodeName);
    QCOMPARE(run(), QString());

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
    QVERIFY(!QFileInfo::exists(home.filePath(work + QStringLiteral("sub"))));
    QCOMPARE(ftp.state(), QFtp::Unconnected);
}

QTEST_GUILESS_MAIN(TestQFtpServer)
#include "tst_qftpserver.moc"
