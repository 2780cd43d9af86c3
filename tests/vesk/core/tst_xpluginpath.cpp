#include "core/xpluginpath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestXPluginPath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resolve_data();
    void resolve();
};

void TestXPluginPath::resolve_data()
{
    QTest::addColumn<QStringList>("appFiles");
    QTest::addColumn<QStringList>("installedFiles");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // relative to the temp dir; empty: nothing

    const QStringList own {QStringLiteral("app/libs/KOUpdater.so")};
    const QStringList installed {QStringLiteral("KOUpdater.so")};
    QTest::newRow("relative-so") << own << QStringList() << "libs/KOUpdater.so"
                                 << "app/libs/KOUpdater.so";
    QTest::newRow("windows-name") << own << QStringList() << "libs/KOUpdater.dll"
                                  << "app/libs/KOUpdater.so";
    QTest::newRow("windows-name-upper") << own << QStringList() << "libs/KOUpdater.DLL"
                                        << "app/libs/KOUpdater.so";
    QTest::newRow("windows-separators") << own << QStringList() << "libs\\KOUpdater.dll"
                                        << "app/libs/KOUpdater.so";
    QTest::newRow("no-suffix") << own << QStringList() << "libs/KOUpdater"
                               << "app/libs/KOUpdater.so";
    QTest::newRow("no-suffix-file-as-named")
        << QStringList {QStringLiteral("app/libs/plain")} << QStringList() << "libs/plain"
        << "app/libs/plain";
    QTest::newRow("missing") << QStringList() << QStringList() << "libs/KOUpdater.dll"
                             << "";
    QTest::newRow("empty") << own << installed << ""
                           << "";
    QTest::newRow("directory-is-no-library")
        << QStringList {QStringLiteral("app/libs/Dir.so/x")} << QStringList() << "libs/Dir.so"
        << "";
    QTest::newRow("installed-when-app-has-none") << QStringList() << installed << "libs/KOUpdater.dll"
                                                 << "installed/KOUpdater.so";
    QTest::newRow("app-before-installed") << own << installed << "libs/KOUpdater"
                                          << "app/libs/KOUpdater.so";
    QTest::newRow("installed-only-for-libs") << QStringList() << installed << "KOUpdater.so"
                                             << "";
    QTest::newRow("installed-not-for-subfolders")
        << QStringList() << QStringList {QStringLiteral("sub/KOUpdater.so")} << "libs/sub/KOUpdater.so"
        << "";
    QTest::newRow("installed-not-climbing-out")
        << QStringList() << QStringList {QStringLiteral("../escape.so")} << "libs/../escape.so"
        << "";
    QTest::newRow("absolute") << QStringList {QStringLiteral("elsewhere/P.so")} << installed << "@/elsewhere/P.dll"
                              << "elsewhere/P.so";
}

void TestXPluginPath::resolve()
{
    QFETCH(QStringList, appFiles);
    QFETCH(QStringList, installedFiles);
    QFETCH(QString, path);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    QDir().mkpath(root + QStringLiteral("app"));
    QDir().mkpath(root + QStringLiteral("installed"));
    for (const QString &f : appFiles + [&] {
             QStringList l;
             for (const QString &i : installedFiles)
                 l << QStringLiteral("installed/") + i;
             return l;
         }()) {
        QVERIFY(QDir().mkpath(QFileInfo(root + f).absolutePath()));
        QFile file(root + f);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (path.startsWith(QLatin1Char('@')))
        path = dir.path() + path.mid(1);

    const QString found = XPluginPath::resolve(path, root + QStringLiteral("app"), root + QStringLiteral("installed"));
    QCOMPARE(found, expected.isEmpty() ? QString() : QDir::cleanPath(root + expected));
}

QTEST_MAIN(TestXPluginPath)
#include "tst_xpluginpath.moc"
