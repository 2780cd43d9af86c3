#include "api/xjavascriptapi.h"
#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QWebFrame>
#include <QtTest>

#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Files, folders and system utilities as a page sees them.
class TestFiles : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    QByteArray contentOf(const QString &name)
    {
        QFile f(m_harness->path() + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "XYZ-3");
        tzset();
    }
    void init()
    {
        m_harness.reset(new VeskHarness);
        m_harness->writePage(QStringLiteral("init.html"), "<html><body></body></html>");
        m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
        QVERIFY(::mkfifo(QFile::encodeName(m_harness->path() + QStringLiteral("/fifo")).constData(), 0600) == 0);
    }
    void cleanup()
    {
        m_window.reset();
        m_harness.reset();
    }
    void pageResults_data();
    void pageResults();
    void fileIds();
    void tempFilesLiveWithTheApiObject();
    void fullDiskKeepsFiles_data();
    void fullDiskKeepsFiles();
    void dialogsCancelled();
    void taskbarValuesReachTheWindow();
};

void TestFiles::pageResults_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    QTest::newRow("write-latin1-read-utf8")
        << "app.filewrite('t.txt', 'a\\u010d\\u00e9'); app.fileappend('t.txt', 'b\\u0000c');"
           "app.fileread('t.txt').length + ':' + app.fileread('t.txt').charCodeAt(2)"
        << "4:65533";
    QTest::newRow("mkfile-truncates") << "app.filewrite('m', 'full'); [app.mkfile('m'), app.filesize('m')].join()"
                                      << "true,0";
    QTest::newRow("copy-never-overwrites")
        << "app.filewrite('c1', 'one'); app.filewrite('c2', 'two');"
           "[app.copy('c1', 'c2'), app.fileread('c2'), app.copy('c1', 'c3'), app.fileread('c3')].join()"
        << "false,two,true,one";
    QTest::newRow("rename-and-unlink")
        << "app.filewrite('r1', 'x'); app.filewrite('r2', 'y');"
           "[app.rename('r1', 'r2'), app.rename('r1', 'r3'), app.unlink('r3'), app.fileExists('r3')].join()"
        << "false,true,true,false";
    QTest::newRow("mkdir-and-exists")
        << "[app.mkdir('d'), app.mkdir('d'), app.mkdir('e/f'), app.mkdir('e/f', true), app.mkdir('e/f', true),"
           " app.dirExists('e/f'), app.fileExists('e'), app.dirExists('init.html')].join()"
        << "true,false,false,true,true,true,true,false";
    QTest::newRow("missing-file-metadata")
        << "[app.filesize('nope'), app.filectime('nope'), app.fileatime('nope'), app.fileread('nope')].join()"
        << "0,-1,-1,";
    QTest::newRow("dir-content-shape")
        << "app.mkdir('l'); app.mkdir('l/sub'); app.filewrite('l/B', ''); app.filewrite('l/a', '');"
           "app.filewrite('l/.h', ''); JSON.stringify([app.dirContent('l'), app.dirContent('none')])"
        << "[{\"dirs\":[\"sub\"],\"files\":[\"a\",\"B\"]},{\"dirs\":[],\"files\":[]}]";
    QTest::newRow("trees-through-the-page")
        << "app.mkdir('s/.git/x', true); app.filewrite('s/.git/x/y', 'y');"
           "[app.copydir('s', 's/inner'), app.copydir('s', 'c'), app.fileread('c/.git/x/y'), app.rmdir('c'),"
           " app.dirExists('c'), app.rmdir('never-was')].join()"
        << "false,true,y,true,false,true";
    QTest::newRow("write-results")
        << "[app.filewrite('w', 'abc'), app.fileappend('w', 'de'), app.fileread('w'), app.filewrite('no/such/f', 'x'),"
           " app.fileappend('no/such/f', 'x'), app.filewrite('.', 'x')].join()"
        << "true,true,abcde,false,false,false";
    QTest::newRow("filewrite-keeps-link-and-mode")
        << "app.filewrite('target', 'old'); app.wsystem('chmod 640 target; ln -s target link');"
           "app.filewrite('link', 'new'); app.wsystem('test -L link && stat -c %a target > mode');"
           "[app.fileread('target'), app.fileread('mode')].join()"
        << "new,640\n";
    QTest::newRow("handle-write-results")
        << "var w = app.fopen('hw', 'wb'), r = app.fopen('hw', 'rb');"
           "[app.fwrite(w, 'abc'), app.fwriteln(w, 'de'), app.fwrite(r, 'x'), app.fwrite(99, 'x'),"
           " app.fwriteln(99, ''), app.fread(r, 100)].join()"
        << "3,3,0,-1,-1,abcde\n";
    QTest::newRow("fifo-and-devices-refused-at-once")
        << "[app.fileread('fifo'), app.fileread('/dev/zero'), app.fileMd5hex('/dev/zero'), app.fileMd5hex('fifo'),"
           " app.copy('/dev/zero', 'z'), app.copy('fifo', 'z'), app.fileExists('z'), app.fopen('fifo', 'r'),"
           " app.fopen('fifo', 'w'), app.mkfile('fifo'), app.fileappend('fifo', 'x'), app.filewrite('fifo', 'x'),"
           " app.filewrite('/dev/null', 'x'), app.fileExists('fifo')].join()"
        << ",,,,false,false,false,0,0,false,false,false,false,true";
    QTest::newRow("huge-counts-reserve-nothing")
        << "app.filewrite('s', 'small\\nline'); var a = app.fopen('s', 'rb'), b = app.fopen('s', 'rb');"
           "[app.fread(a, 2147483647), app.fgets(b, 2147483647), app.fgets(b, 2147483647)].join('|')"
        << "small\nline|small\n|line";
    // Sparse files: sizes cost nothing on disk.
    QTest::newRow("whole-file-ceiling")
        << "app.wsystem('printf a > big; truncate -s 268435457 big'); var over = app.fileread('big');"
           "app.wsystem('truncate -s 268435456 big'); [over, app.fileread('big')].join()"
        << ",a";
    QTest::newRow("fread-ceiling")
        << "app.wsystem('truncate -s 268435456 f; printf xy >> f'); var id = app.fopen('f', 'rb');"
           "[app.fread(id, 2147483647), app.fread(id, 1), app.fgets(id, 0)].join()"
        << ",x,y";
    QTest::newRow("hashes") << "[app.md5hex('abc'), app.sha1hex('abc'), app.md5hex('\\u010d') == app.md5hex('?'),"
                               " app.md5('abc').length > 0, app.fileMd5hex('nope')].join()"
                            << "900150983cd24fb0d6963f7d28e17f72,a9993e364706816aba3e25717850c26c9cd0d89d,true,true,";
    QTest::newRow("file-md5") << "app.filewrite('h', 'abc'); app.fileMd5hex('h')"
                              << "900150983cd24fb0d6963f7d28e17f72";
    QTest::newRow("times-are-64-bit")
        << "[app.mktime(3, 0, 0, 1, 1, 2040), app.date('yyyy-MM-dd hh:mm', 2208988800),"
           " app.mktime(0, 0, 0, 13, 1, 2020), app.date('yyyy', 0), app.time() > 1600000000].join()"
        << "2208988800,2040-01-01 03:00,-1,1970,true";
    QTest::newRow("disk-space") << "[app.freespace(''), app.freespace('/no/such'), app.freespace('C:') > 0,"
                                   " app.totalspace('.') >= app.freespace('.'), app.getOEMCP()].join()"
                                << "-1,-1,true,true,0";
    QTest::newRow("clipboard") << "app.setClipboard('it\\'s'); app.getClipboard()"
                               << "it's";
}

void TestFiles::pageResults()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QCOMPARE(eval(script).toString(), expected);
    if (QByteArray(QTest::currentDataTag()) == "write-latin1-read-utf8")
        QCOMPARE(contentOf(QStringLiteral("t.txt")),
                 QByteArray("a?\xe9"
                            "b"));
}

void TestFiles::fileIds()
{
    QCOMPARE(eval(QStringLiteral("[app.fopen('w.txt', 'W'), app.fopen('w.txt', 'r+'), app.fileExists('w.txt')].join()"))
                 .toString(),
             QStringLiteral("0,0,false"));
    QCOMPARE(eval(QStringLiteral("app.fopen('w.txt', 'w')")).toInt(), 1);
    eval(QStringLiteral("app.fwriteln(1, 'first'); app.fwrite(1, 'a much longer second line'); app.fwriteln(1, '');"
                        "app.fwrite(1, 'last'); app.fclose(1); app.fwrite(1, 'lost')"));
    QCOMPARE(contentOf(QStringLiteral("w.txt")), QByteArray("first\na much longer second line\nlast"));
    QCOMPARE(eval(QStringLiteral("app.fopen('w.txt', 'r')")).toInt(), 2);
    QCOMPARE(eval(QStringLiteral("app.fopen('missing', 'r')")).toInt(), 0);
    QCOMPARE(eval(QStringLiteral("app.fopen('w.txt', 'rb')")).toInt(), 3);
    QCOMPARE(eval(QStringLiteral("[app.fgets(2, 0), app.fgets(2, 5), app.fgets(2, 0), app.fread(2, 3),"
                                 " app.fgets(2, 0), app.fgets(2, 0)].join('|')"))
                 .toString(),
             QStringLiteral("first\n|a mu|ch longer second line\n|las|t|"));
    QCOMPARE(eval(QStringLiteral("[app.fgets(9, 0), app.fread(9, 4), app.fread(3, 5)].join('|')")).toString(),
             QStringLiteral("||first"));
    eval(QStringLiteral("app.fclose(2); app.fclose(2);"));
    QCOMPARE(eval(QStringLiteral("app.fopen('a.txt', 'a')")).toInt(), 4);

    // Reading decodes UTF-8 and stops at a zero byte, whole-file and through an id.
    QFile f(m_harness->path() + QStringLiteral("/u8"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\xc4\x8d"
                       "x\0y\n",
                       6));
    f.close();
    QCOMPARE(eval(QStringLiteral("[app.fileread('u8'), app.fgets(app.fopen('u8', 'rb'), 0)].join()")).toString(),
             QStringLiteral("\u010dx,\u010dx"));
}

void TestFiles::tempFilesLiveWithTheApiObject()
{
    const QString named = eval(QStringLiteral("app.tempFile('.jpg')")).toString();
    const QString plain = eval(QStringLiteral("app.tempFile('')")).toString();
    QVERIFY2(QFileInfo(named).fileName().startsWith(QStringLiteral("tmp."))
                 && named.endsWith(QStringLiteral(".vesk.jpg")),
             qPrintable(named));
    QVERIFY(QFile::exists(named) && QFile::exists(plain));
    // The files stay, their descriptors do not: a page may make thousands.
    const uint descriptors = QDir(QStringLiteral("/proc/self/fd")).count();
    QCOMPARE(eval(QStringLiteral("var made = []; for (var i = 0; i < 300; ++i) made.push(app.tempFile('.t'));"
                                 "made.filter(function (p) { return app.fileExists(p); }).length"))
                 .toInt(),
             300);
    QVERIFY(QDir(QStringLiteral("/proc/self/fd")).count() < descriptors + 10);
    m_window->load(QStringLiteral("/init.html"));
    QVERIFY(VeskHarness::waitForLoad(m_window->view()));
    QVERIFY(QFile::exists(named));
    m_window.reset();
    QVERIFY(!QFile::exists(named) && !QFile::exists(plain));
}

void TestFiles::fullDiskKeepsFiles_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    // big: 256 KiB, more than the disk holds.
    QTest::newRow("filewrite") << "[app.filewrite('full/keep', big), app.fileread('full/keep')].join()"
                               << "false,old content";
    QTest::newRow("fileappend") << "[app.fileappend('full/keep', big), app.fileread('full/keep')].join()"
                                << "false,old content";
    QTest::newRow("fwrite") << "var id = app.fopen('full/keep', 'ab'); var n = app.fwrite(id, big); app.fclose(id);"
                               "[n >= 0 && n < big.length, app.filesize('full/keep') == 11 + n].join()"
                            << "true,true";
}

void TestFiles::fullDiskKeepsFiles()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    if (::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    const QString mountPoint = m_harness->path() + QStringLiteral("/full");
    QVERIFY(QDir().mkdir(mountPoint));
    if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=128k", "tmpfs", mountPoint}) != 0)
        QSKIP("cannot mount a tmpfs here");
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint}); });
    QFile keep(mountPoint + QStringLiteral("/keep"));
    QVERIFY(keep.open(QIODevice::WriteOnly));
    QCOMPARE(keep.write("old content"), qint64(11));
    keep.close();
    eval(QStringLiteral("var big = new Array(256 * 1024 + 1).join('x');"));
    QCOMPARE(eval(script).toString(), expected);
}

void TestFiles::dialogsCancelled()
{
    m_harness->answerDialogs();
    QCOMPARE(eval(QStringLiteral("JSON.stringify([app.openFile('Open', 'Text (*.txt)'), app.openFiles('Open', ''),"
                                 " app.openNewFile('Save', '', 'app'), app.openDir('Folder')])"))
                 .toString(),
             QStringLiteral("[\"\",[],\"\",\"\"]"));
    QCOMPARE(eval(QStringLiteral("app.getDirCurrent()")).toString(), QDir::currentPath());
    QVERIFY(!eval(QStringLiteral("app.getDirDocuments()")).toString().isEmpty());
}

void TestFiles::taskbarValuesReachTheWindow()
{
    eval(QStringLiteral(
        "app.enableTaskbarProgress(); app.setTaskbarProgressType(3); app.setTaskbarProgressValue(0.505)"));
    QVERIFY(m_window->taskbarHandle() != 0);
    QCOMPARE(m_window->taskbarProgressState(), 4);
    QCOMPARE(m_window->taskbarProgressCompleted(), 50);
}

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
