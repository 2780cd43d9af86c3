#include "core/xdirtree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestXDirTree : public QObject {
    Q_OBJECT

private:
    QString path(const QString &relative) const { return m_dir->path() + QLatin1Char('/') + relative; }
    void write(const QString &relative, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile f(path(relative));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    // tree/ with dot-files, a nested folder, a link cycle, a link out of the
    // tree, a dangling link and a link to a file; outside/ must never be touched.
    void makeTree()
    {
        write(QStringLiteral("tree/a.txt"), "a");
        write(QStringLiteral("tree/.hidden"), "h");
        write(QStringLiteral("tree/.dotdir/inner"), "i");
        write(QStringLiteral("tree/sub/b.txt"), "b");
        write(QStringLiteral("outside/keep.txt"), "keep");
        QVERIFY(QFile::link(QStringLiteral(".."), path(QStringLiteral("tree/sub/loop"))));
        QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("tree/out"))));
        QVERIFY(QFile::link(QStringLiteral("nowhere"), path(QStringLiteral("tree/dangling"))));
        QVERIFY(QFile::link(QStringLiteral("a.txt"), path(QStringLiteral("tree/alias.txt"))));
    }
    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init() { m_dir.reset(new QTemporaryDir); }
    void removeStaysInsideTheTree();
    void copyKeepsLinksAndDotFiles();
    void copyReplacesDestination();
    void copyRefuses_data();
    void copyRefuses();
    void spellingsNameTheEntry_data();
    void spellingsNameTheEntry();
    void copyReportsWhatItCannotRead_data();
    void copyReportsWhatItCannotRead();
    void contentHidesDotFiles();
};

void TestXDirTree::removeStaysInsideTheTree()
{
    makeTree();
    QVERIFY(XDirTree::remove(path(QStringLiteral("tree"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("tree"))));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("outside/keep.txt"))));
    QVERIFY(XDirTree::remove(path(QStringLiteral("missing"))));
    // A link given as the tree is removed itself.
    QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("link"))));
    QVERIFY(XDirTree::remove(path(QStringLiteral("link"))));
    QVERIFY(!QFileInfo(path(QStringLiteral("link"))).isSymLink());
    QVERIFY(QFileInfo::exists(path(QStringLiteral("outside/keep.txt"))));
}

void TestXDirTree::copyKeepsLinksAndDotFiles()
{
    makeTree();
    QVERIFY(XDirTree::copy(path(QStringLiteral("tree")), path(QStringLiteral("copy"))));
    for (const char *file : {"copy/a.txt", "copy/.hidden", "copy/.dotdir/inner", "copy/sub/b.txt"})
        QVERIFY2(QFileInfo(path(QLatin1String(file))).isFile(), file);
    const QFileInfo loop(path(QStringLiteral("copy/sub/loop")));
    QVERIFY(loop.isSymLink());
    QCOMPARE(loop.canonicalFilePath(), QFileInfo(path(QStringLiteral("copy"))).canonicalFilePath());
    QVERIFY(QFileInfo(path(QStringLiteral("copy/out"))).isSymLink());
    QVERIFY(!QFileInfo(path(QStringLiteral("copy/dangling"))).isSymLink());
    const QFileInfo alias(path(QStringLiteral("copy/alias.txt")));
    QVERIFY(alias.isFile() && !alias.isSymLink());
    QCOMPARE(QDir(path(QStringLiteral("outside"))).entryList(QDir::Files), QStringList {QStringLiteral("keep.txt")});
}

void TestXDirTree::copyReplacesDestination()
{
    write(QStringLiteral("src/new.txt"), "new");
    write(QStringLiteral("dst/old.txt"), "old");
    write(QStringLiteral("dst/.old"), "old");
    QVERIFY(XDirTree::copy(path(QStringLiteral("src")), path(QStringLiteral("dst"))));
    QCOMPARE(QDir(path(QStringLiteral("dst"))).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("new.txt")});
    // A missing parent is not made.
    QVERIFY(!XDirTree::copy(path(QStringLiteral("src")), path(QStringLiteral("no/such/dst"))));
}

void TestXDirTree::copyRefuses_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<QString>("dst");
    QTest::newRow("onto-itself") << "tree"
                                 << "tree";
    QTest::newRow("onto-itself-unclean") << "tree"
                                         << "tree/sub/..";
    QTest::newRow("into-own-subtree") << "tree"
                                      << "tree/sub/copy";
    QTest::newRow("into-new-subfolder") << "tree"
                                        << "tree/new";
    QTest::newRow("onto-parent") << "tree/sub"
                                 << "tree";
    QTest::newRow("through-a-link") << "tree"
                                    << "treelink/sub";
    QTest::newRow("onto-itself-slashed") << "tree/"
                                         << "tree//";
    QTest::newRow("source-missing") << "missing"
                                    << "tree";
    QTest::newRow("source-is-a-file") << "tree/a.txt"
                                      << "tree/sub";
    QTest::newRow("destination-dot-dot") << "outside"
                                         << "tree/sub/..";
}

void TestXDirTree::copyRefuses()
{
    QFETCH(QString, src);
    QFETCH(QString, dst);
    makeTree();
    QVERIFY(QFile::link(path(QStringLiteral("tree")), path(QStringLiteral("treelink"))));
    QVERIFY(!XDirTree::copy(path(src), path(dst)));
    for (const char *file : {"tree/a.txt", "tree/.hidden", "tree/sub/b.txt"})
        QVERIFY2(QFileInfo(path(QLatin1String(file))).isFile(), file);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("tree/new"))));
}

void TestXDirTree::spellingsNameTheEntry_data()
{
    QTest::addColumn<bool>("copy"); // copy src onto the path, else remove it
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("result");
    QTest::newRow("remove-link-slash") << false << "d/link/" << true;
    QTest::newRow("remove-link-slashes") << false << "d/link//" << true;
    QTest::newRow("remove-link-slash-dot") << false << "d/link/./" << true;
    QTest::newRow("remove-folder-slash") << false << "d/plain/" << true;
    QTest::newRow("remove-dot-dot") << false << "d/plain/.." << false;
    QTest::newRow("copy-onto-link-slash") << true << "d/link/" << true;
    QTest::newRow("copy-onto-link-slashes") << true << "d/link//" << true;
    QTest::newRow("copy-onto-folder-slash") << true << "d/plain/" << true;
}

void TestXDirTree::spellingsNameTheEntry()
{
    QFETCH(bool, copy);
    QFETCH(QString, path);
    QFETCH(bool, result);
    write(QStringLiteral("outside/keep.txt"), "keep");
    write(QStringLiteral("d/plain/old.txt"), "old");
    write(QStringLiteral("src/new.txt"), "new");
    QVERIFY(QFile::link(this->path(QStringLiteral("outside")), this->path(QStringLiteral("d/link"))));
    const QString target = this->path(path);
    QCOMPARE(copy ? XDirTree::copy(this->path(QStringLiteral("src")), target) : XDirTree::remove(target), result);
    QVERIFY(QFileInfo::exists(this->path(QStringLiteral("outside/keep.txt"))));
    QCOMPARE(QDir(this->path(QStringLiteral("outside"))).entryList(QDir::Files), QStringList {"keep.txt"});
    const QFileInfo entry(XDirTree::entryPath(target));
    if (!result)
        QVERIFY(QFileInfo::exists(this->path(QStringLiteral("d/plain/old.txt"))));
    else if (copy)
        QVERIFY(entry.isDir() && !entry.isSymLink() && QFileInfo::exists(entry.filePath() + "/new.txt")
                && !QFileInfo::exists(entry.filePath() + "/old.txt"));
    else
        QVERIFY(!entry.exists() && !entry.isSymLink());
}

void TestXDirTree::copyReportsWhatItCannotRead_data()
{
    QTest::addColumn<QString>("locked");
    QTest::newRow("unreadable-folder") << "src/locked";
    QTest::newRow("unreadable-file") << "src/locked.txt";
    QTest::newRow("unreadable-source") << "src";
}

void TestXDirTree::copyReportsWhatItCannotRead()
{
    QFETCH(QString, locked);
    write(QStringLiteral("src/a.txt"), "a");
    write(QStringLiteral("src/locked/secret.txt"), "s");
    write(QStringLiteral("src/locked.txt"), "s");
    write(QStringLiteral("dst/old.txt"), "old");
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0777) == 0);
    for (const char *open : {"src", "src/locked", "dst"})
        QVERIFY(::chmod(QFile::encodeName(path(QLatin1String(open))).constData(), 0777) == 0);
    QVERIFY(::chmod(QFile::encodeName(path(locked)).constData(), 0) == 0);
    // Permissions do not stop root: the copy runs as nobody in a child.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        ::_exit(XDirTree::copy(path(QStringLiteral("src")), path(QStringLiteral("dst"))) ? 1 : 0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(path(locked)).constData(), 0755);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    // A source that cannot be read at all costs the destination nothing.
    if (locked == QLatin1String("src"))
        QVERIFY(QFileInfo::exists(path(QStringLiteral("dst/old.txt"))));
}

void TestXDirTree::contentHidesDotFiles()
{
    makeTree();
    const QVariantMap map = XDirTree::content(path(QStringLiteral("tree")));
    QCOMPARE(map.value(QStringLiteral("files")).toStringList(), (QStringList {"a.txt", "alias.txt"}));
    QCOMPARE(map.value(QStringLiteral("dirs")).toStringList(), (QStringList {"out", "sub"}));
    const QVariantMap none = XDirTree::content(path(QStringLiteral("missing")));
    QCOMPARE(none.keys(), (QStringList {"dirs", "files"}));
    QVERIFY(none.value(QStringLiteral("files")).toStringList().isEmpty());
}

QTEST_GUILESS_MAIN(TestXDirTree)
#include "tst_xdirtree.moc"
