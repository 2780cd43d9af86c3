#include "pyftpserver.h"
#include "qftp/xftp.h"
#include "scriptedftpserver.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QRandomGenerator>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// Every callback appends one line to log, so a test reads what the page saw.
static const QByteArray kPage = R"(<html><body><script>
var log = [];
function st(n, name){ log.push('state ' + n + ' ' + name); }
function ok(){ log.push('ok'); }
function err(e){ log.push('error ' + typeof e.error_code + ' ' + e.error_code + ' ' + e.error_text); }
function entry(name, info){ log.push('entry ' + name + ' ' + JSON.stringify(info)); }
function prog(d, t){ log.push('progress ' + d + ' ' + t); }
function prog2(d, t){ log.push('progress2 ' + d + ' ' + t); }
</script></body></html>)";

class TestFtp : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    QStringList log();
    bool waitForLog(const QString &line, int timeoutMs = 20000);
    int connectAndLogin(quint16 port, const QString &user = QStringLiteral("user"));
    QString home(const QString &name) const { return m_home.path() + QLatin1Char('/') + name; }
    QString local(const QString &name) const { return m_harness->path() + QLatin1Char('/') + name; }
    static QByteArray read(const QString &path);
    static void write(const QString &path, const QByteArray &data);

    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;
    QTemporaryDir m_home;
    PyFtpServer m_pyftpd;

private Q_SLOTS:
    void init();
    void cleanup();
    void handlesAndStates();
    void commands_data();
    void commands();
    void listingAwkwardNames();
    void uploadAndDownload();
    void downloadFailures_data();
    void downloadFailures();
    void abortAndGoOn();
    void windowClosedMidTransfer();
};

void TestFtp::init()
{
    QStandardPaths::setTestModeEnabled(true);
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"), kPage);
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
}

void TestFtp::cleanup()
{
    m_window.reset();
    m_harness.reset();
    m_pyftpd.stop();
}

QStringList TestFtp::log()
{
    QStringList lines;
    const QJsonArray array =
        QJsonDocument::fromJson(eval(QStringLiteral("JSON.stringify(log)")).toString().toUtf8()).array();
    for (const QJsonValue &v : array)
        lines << v.toString();
    return lines;
}

bool TestFtp::waitForLog(const QString &line, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!log().contains(line) && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return log().contains(line);
}

QByteArray TestFtp::read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void TestFtp::write(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

int TestFtp::connectAndLogin(quint16 port, const QString &user)
{
    const int h = eval(QStringLiteral("app._ftpConnect('127.0.0.1', %1, 'st')").arg(port)).toInt();
    eval(QStringLiteral("app._ftpLogin(%1, '%2', 'pass', 'ok', 'err')").arg(h).arg(user));
    if (!waitForLog(QStringLiteral("ok")))
        return 0;
    eval(QStringLiteral("log = [];"));
    return h;
}

void TestFtp::handlesAndStates()
{
    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    QCOMPARE(eval(QStringLiteral("app.ftpState(1)")).toInt(), -1);
    QCOMPARE(eval(QStringLiteral("app._ftpConnect('127.0.0.1', %1, 'st')").arg(server.port())).toInt(), 1);
    QVERIFY(waitForLog(QStringLiteral("state 3 Connected")));
    QCOMPARE(log().mid(0, 3), QStringList({"state 1 Host Lookup", "state 2 Connecting", "state 3 Connected"}));
    QCOMPARE(eval(QStringLiteral("app.ftpState(1)")).toInt(), 3);
    QPointer<XFTP> first = m_window->findChild<XFTP *>();
    // Bad input is refused with 0 and uses no handle.
    QCOMPARE(eval(QStringLiteral("app._ftpConnect('', 21)")).toInt(), 0);
    QCOMPARE(eval(QStringLiteral("app._ftpConnect('127.0.0.1', 70000)")).toInt(), 0);
    QCOMPARE(eval(QStringLiteral("app._ftpConnect('127.0.0.1', %1)").arg(server.port())).toInt(), 2);
    QCOMPARE(eval(QStringLiteral("app.ftpState(3)")).toInt(), -1);

    eval(QStringLiteral("log = []; app._ftpLogin(1, 'user', 'pass', 'ok')"));
    QVERIFY(waitForLog(QStringLiteral("ok")));
    QCOMPARE(log(), QStringList({"state 4 Login", "ok"}));
    eval(QStringLiteral("log = []; app._ftpClose(1, 'ok', 'err')"));
    QVERIFY(waitForLog(QStringLiteral("state 0 Unconnected")));
    QVERIFY(waitForLog(QStringLiteral("ok")));
    // The handle stays valid after a close, but what it held is freed.
    QTRY_VERIFY(first.isNull());
    QCOMPARE(eval(QStringLiteral("app.ftpState(1)")).toInt(), 0);
    // Later commands are answered as by a closed connection, and leave nothing behind.
    const QList<XFTP *> before = m_window->findChildren<XFTP *>();
    eval(QStringLiteral("log = []; app._ftpCd(1, '/', 'ok', 'err')"));
    QPointer<XFTP> answering;
    for (XFTP *c : m_window->findChildren<XFTP *>()) {
        if (!before.contains(c))
            answering = c;
    }
    QVERIFY(answering);
    QVERIFY(waitForLog(QStringLiteral("error number 4 Changing directory failed:\nNot connected")));
    eval(QStringLiteral("app._ftpClose(1, 'ok', 'err')"));
    QVERIFY(waitForLog(QStringLiteral("ok")));
    QCOMPARE(log().size(), 2);
    QTRY_VERIFY(answering.isNull());
    QCOMPARE(eval(QStringLiteral("app.ftpState(1)")).toInt(), 0);
    QCOMPARE(eval(QStringLiteral("app._ftpConnect('127.0.0.1', %1)").arg(server.port())).toInt(), 3);
    // Unknown handles are ignored.
    eval(QStringLiteral("app._ftpCd(9, '/', 'ok', 'err'); app.ftpAbort(9);"));
}

void TestFtp::commands_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("cd ok") << QByteArray() << QByteArray() << "app._ftpCd(h, 'sub', 'ok', 'err')" << QStringList {"ok"};
    QTest::newRow("cd fails, only ok given")
        << QByteArray("CWD") << QByteArray("550 No such directory\r\n") << "app._ftpCd(h, 'x', 'ok')" << QStringList {};
    QTest::newRow("cd fails, error given: text with a line break")
        << QByteArray("CWD") << QByteArray("550 It's \"gone\" \\ </script>\r\n") << "app._ftpCd(h, 'x', 'ok', 'err')"
        << QStringList {"error number 1 Changing directory failed:\nIt's \"gone\" \\ </script>"};
    QTest::newRow("mkdir") << QByteArray() << QByteArray() << "app._ftpMkdir(h, 'new', 'ok', 'err')"
                           << QStringList {"ok"};
    QTest::newRow("mkdir fails") << QByteArray("MKD") << QByteArray("550 Exists\r\n")
                                 << "app._ftpMkdir(h, 'new', 'ok', 'err')"
                                 << QStringList {"error number 1 Creating directory failed:\nExists"};
    QTest::newRow("mkdir ok, only error given")
        << QByteArray() << QByteArray() << "app._ftpMkdir(h, 'new', '', 'err')" << QStringList {};
    QTest::newRow("remove") << QByteArray() << QByteArray() << "app._ftpRemove(h, 'f', 'ok', 'err')"
                            << QStringList {"ok"};
    QTest::newRow("rmdir") << QByteArray() << QByteArray() << "app._ftpRmdir(h, 'd', 'ok')" << QStringList {"ok"};
    QTest::newRow("rename") << QByteArray() << QByteArray() << "app._ftpRename(h, 'a', 'b', 'ok', 'err')"
                            << QStringList {"ok"};
    QTest::newRow("list with only the handle") << QByteArray() << QByteArray() << "app._ftpList(h)" << QStringList {};
    QTest::newRow("name with a line break refused")
        << QByteArray() << QByteArray() << "app._ftpRemove(h, 'a\\r\\nDELE b', 'ok', 'err')"
        << QStringList {"error number 1 Removing file failed:\n"
                        "Invalid character in name"};
}

void TestFtp::commands()
{
    QFETCH(QByteArray, verb);
    QFETCH(QByteArray, reply);
    QFETCH(QString, call);
    QFETCH(QStringList, expected);

    ScriptedFtpServer server;
    server.setListing("-rw-r--r-- 1 ftp ftp 3 Jan 01 2020 f\r\n");
    if (!verb.isEmpty())
        server.setReply(verb, reply);
    const int h = connectAndLogin(server.port());
    QVERIFY(h > 0);
    auto *ftp = m_window->findChild<XFTP *>();
    QVERIFY(ftp);
    QSignalSpy done(ftp, &QFtp::done);
    eval(QStringLiteral("var h = %1; ").arg(h) + call);
    QVERIFY(done.wait(10000));
    QCOMPARE(log(), expected);
    // After an error the connection still works.
    eval(QStringLiteral("log = []; app._ftpRename(h, 'a', 'b', 'ok', 'err')"));
    QVERIFY(waitForLog(QStringLiteral("ok")));
}

void TestFtp::listingAwkwardNames()
{
    ScriptedFtpServer server;
    server.setListing("-rw-r--r-- 1 o'wn gr\\p 12 Jan 01 2020 a'b\r\n"
                      "-rw-r--r-- 1 ftp ftp 3 Jan 01 2020 back\\slash\r\n"
                      "-rw-r--r-- 1 ftp ftp 3 Jan 01 2020 </script><b>x\r\n"
                      "drwxr-x--- 2 ftp ftp 4096 Jan 01 2020 caf\xe9 \"q\"\r\n"
                      "-rwxr-xr-x 1 ftp ftp 5 Jan 01 2020 ');window.pwned=1;('\r\n");
    const int h = connectAndLogin(server.port());
    QVERIFY(h > 0);
    eval(QStringLiteral("window.pwned = 0; app._ftpList(%1, 'ok', 'err', 'entry')").arg(h));
    QVERIFY(waitForLog(QStringLiteral("ok")));
    const QStringList got = log();
    QVERIFY2(got.size() == 6, qPrintable(got.join(QLatin1Char('\n'))));
    QCOMPARE(got.at(0),
             QStringLiteral("entry a'b {\"permissions\":420,\"owner\":\"o'wn\",\"group\":\"gr\\\\p\",\"size\":12,"
                            "\"is_dir\":false,\"is_file\":true,\"is_symlink\":false,\"is_writeble\":true,"
                            "\"is_readable\":true,\"is_executable\":false}"));
    QVERIFY(got.at(1).startsWith(QStringLiteral("entry back\\slash {")));
    QVERIFY(got.at(2).startsWith(QStringLiteral("entry </script><b>x {")));
    QVERIFY(got.at(3).startsWith(QStringLiteral("entry caf\u00e9 \"q\" {\"permissions\":488,")));
    QVERIFY(got.at(3).contains(QStringLiteral("\"is_dir\":true")));
    QVERIFY(got.at(4).startsWith(QStringLiteral("entry ');window.pwned=1;(' {")));
    QCOMPARE(eval(QStringLiteral("window.pwned")).toInt(), 0);
}

void TestFtp::uploadAndDownload()
{
    QVERIFY2(m_pyftpd.start(m_home.path()), qPrintable(m_pyftpd.error()));
    // Over two of the binding's 8 MiB steps of handing a download to the disk.
    QByteArray data(17 * 1024 * 1024 + 17, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (char &c : data)
        c = char(gen.bounded(256));
    write(local(QStringLiteral("up.bin")), data);
    write(home(QStringLiteral("small.txt")), QByteArray("small\r\n\x00\xff", 9));

    const int h = connectAndLogin(m_pyftpd.port());
    QVERIFY(h > 0);
    eval(QStringLiteral("app._ftpPut(%1, '%2', 'up.bin', 'ok', 'err', 'prog')").arg(h).arg(local("up.bin")));
    QVERIFY(waitForLog(QStringLiteral("ok")));
    QCOMPARE(read(home(QStringLiteral("up.bin"))), data);
    const QString last = QStringLiteral("progress %1 %1").arg(data.size());
    QCOMPARE(log().filter(QStringLiteral("progress")).last(), last);

    // Two downloads queued at once: each into its own file, each with its own
    // progress, and a listing queued behind them takes no progress away.
    eval(QStringLiteral("log = []; app._ftpGet(h1, 'up.bin', '%1', 'ok', 'err', 'prog');"
                        "app._ftpGet(h1, 'small.txt', '%2', 'ok', 'err', 'prog2');"
                        "app._ftpList(h1, 'ok', 'err', 'entry');")
             .replace(QStringLiteral("h1"), QString::number(h))
             .arg(local("down.bin"), local("small.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(log().count(QStringLiteral("ok")), 3, 20000);
    QCOMPARE(read(local(QStringLiteral("down.bin"))), data);
    QCOMPARE(read(local(QStringLiteral("small.txt"))), QByteArray("small\r\n\x00\xff", 9));
    const QStringList seen = log();
    QCOMPARE(seen.filter(QStringLiteral("progress ")).last(), last);
    QCOMPARE(seen.filter(QStringLiteral("progress2 ")), QStringList {QStringLiteral("progress2 9 9")});
    // Progress is coalesced, but never more than one call per engine report.
    QVERIFY(seen.filter(QStringLiteral("progress ")).size() >= 1);
    QCOMPARE(seen.filter(QStringLiteral("entry ")).size(), 2);
    QVERIFY(seen.indexOf(last) < seen.indexOf(QStringLiteral("progress2 9 9")));
    QCOMPARE(QDir(m_harness->path()).entryList(QDir::Files).size(), 3);
}

void TestFtp::downloadFailures_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("dst");
    QTest::addColumn<QString>("errorStart");
    QTest::addColumn<bool>("retrSent");

    QTest::newRow("missing remote file keeps the local one") << "missing.bin"
                                                             << "keep.txt"
                                                             << "error number 1 Downloading file failed:\n"
                                                             << true;
    QTest::newRow("dst in a missing folder")
        << "small.txt"
        << "no/such/dir/x.txt"
        << "error number 1 Downloading file failed:\nCannot write the local file" << false;
    QTest::newRow("dst is a folder") << "small.txt"
                                     << "."
                                     << "error number 1 Downloading file failed:\nCannot write the local file" << false;
}

void TestFtp::downloadFailures()
{
    QFETCH(QString, src);
    QFETCH(QString, dst);
    QFETCH(QString, errorStart);
    QFETCH(bool, retrSent);

    ScriptedFtpServer server;
    server.setFile("remote");
    if (src == QLatin1String("missing.bin"))
        server.setReply("RETR", "550 No such file\r\n");
    write(local(QStringLiteral("keep.txt")), "original");
    const int h = connectAndLogin(server.port());
    QVERIFY(h > 0);
    eval(QStringLiteral("app._ftpGet(%1, '%2', '%3', 'ok', 'err', 'prog')").arg(h).arg(src, local(dst)));
    QTRY_COMPARE_WITH_TIMEOUT(log().size(), 1, 10000);
    QVERIFY2(log().first().startsWith(errorStart), qPrintable(log().first()));
    QCOMPARE(server.verbs().contains(QStringLiteral("RETR")), retrSent);
    QCOMPARE(read(local(QStringLiteral("keep.txt"))), QByteArray("original"));
    // No temporary file is left behind.
    QCOMPARE(QDir(m_harness->path()).entryList(QDir::Files), QStringList {QStringLiteral("keep.txt")});
    // The connection takes further commands.
    eval(QStringLiteral("log = []; app._ftpCd(%1, '/', 'ok', 'err')").arg(h));
    QVERIFY(waitForLog(QStringLiteral("ok")));
}

void TestFtp::abortAndGoOn()
{
    ScriptedFtpServer server;
    server.setFile(QByteArray(8 * 1024 * 1024, 'x'));
    server.setSendLimit(64 * 1024, true);
    const int h = connectAndLogin(server.port());
    QVERIFY(h > 0);
    write(local(QStringLiteral("big.bin")), "before");
    eval(QStringLiteral("var h = %1; function abortOnce(d, t){ prog(d, t); if (!window.aborted) { window.aborted = 1;"
                        " app.ftpAbort(h); } }"
                        "app._ftpGet(h, 'big', '%2', 'ok', 'err', 'abortOnce');"
                        "app._ftpMkdir(h, 'dropped', 'ok', 'err');")
             .arg(h)
             .arg(local("big.bin")));
    QVERIFY(waitForLog(QStringLiteral("error number 1 Downloading file failed:\nOperation aborted")));
    QCOMPARE(read(local(QStringLiteral("big.bin"))), QByteArray("before"));
    eval(QStringLiteral("log = []; app._ftpCd(h, '/', 'ok', 'err')"));
    QVERIFY(waitForLog(QStringLiteral("ok")));
    QCOMPARE(log(), QStringList {QStringLiteral("ok")});
    QVERIFY(!server.verbs().contains(QStringLiteral("MKD")));
}

void TestFtp::windowClosedMidTransfer()
{
    ScriptedFtpServer server;
    server.setFile(QByteArray(8 * 1024 * 1024, 'x'));
    server.setSendLimit(256 * 1024, true);
    server.setStallPieces(128 * 1024, 10);
    const int h = connectAndLogin(server.port());
    QVERIFY(h > 0);
    eval(QStringLiteral("app._ftpGet(%1, 'big', '%2', 'ok', 'err', 'prog'); app._ftpList(%1, 'ok', 'err');")
             .arg(h)
             .arg(local("big.bin")));
    // A report held back by the rate limit goes out although no more data comes.
    QVERIFY(waitForLog(QStringLiteral("progress 262144 8388608"), 5000));
    QPointer<XFTP> ftp = m_window->findChild<XFTP *>();
    QVERIFY(ftp);
    m_window->close();
    m_window.release()->deleteLater();
    QTRY_VERIFY(!ftp);
    // Nothing was committed locally and no temporary file is left.
    QVERIFY(!QFile::exists(local(QStringLiteral("big.bin"))));
    QCOMPARE(QDir(m_harness->path()).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(TestFtp)
#include "tst_ftp.moc"
