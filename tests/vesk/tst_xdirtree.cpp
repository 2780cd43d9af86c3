#include "xdirtree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
    void copyRefusesOverlap_data();
    void copyRefusesOverlap();
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

void TestXDirTree::copyRefusesOverlap_data()
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
}

void TestXDirTree::copyRefusesOverlap()
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
