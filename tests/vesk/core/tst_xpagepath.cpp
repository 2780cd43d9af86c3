#include "core/xpagepath.h"

#include <QDir>
#include <QtTest>

class TestXPagePath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resolve_data();
    void resolve();
    void urlHasThreeSlashes();
};

void TestXPagePath::resolve_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    const QString app = QDir::currentPath() + QStringLiteral("/app");
    QTest::newRow("absolute-start-page") << "/init.html" << app + "/init.html";
    QTest::newRow("absolute-in-subfolder") << "/pages/a.html" << app + "/pages/a.html";
    QTest::newRow("relative-gets-slash") << "page.html" << app + "/page.html";
    QTest::newRow("relative-subfolder") << "sub/b.html" << app + "/sub/b.html";
    QTest::newRow("empty-is-base-directory") << "" << app + "/";
    QTest::newRow("non-ascii") << QString::fromUtf8("/p\xc5\x99\xc3\xadliš.html")
                               << app + QString::fromUtf8("/p\xc5\x99\xc3\xadliš.html");
}

void TestXPagePath::resolve()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QCOMPARE(XPagePath::resolve(QStringLiteral("app"), QStringLiteral("app"), file), expected);
}

void TestXPagePath::urlHasThreeSlashes()
{
    const QUrl url = XPagePath::toUrl(QStringLiteral("app"), QStringLiteral("app"), QStringLiteral("/init.html"));
    QVERIFY(url.toString().startsWith(QStringLiteral("file:///")));
    QVERIFY(!url.toString().startsWith(QStringLiteral("file:////")));
    QCOMPARE(url.toLocalFile(), QDir::currentPath() + QStringLiteral("/app/init.html"));
    // Characters that mean something in URLs stay part of the file name.
    const QUrl odd = XPagePath::toUrl(QStringLiteral("app"), QStringLiteral("app"), QStringLiteral("/a #1?.html"));
    QCOMPARE(odd.toLocalFile(), QDir::currentPath() + QStringLiteral("/app/a #1?.html"));
}

QTEST_GUILESS_MAIN(TestXPagePath)
#include "tst_xpagepath.moc"
