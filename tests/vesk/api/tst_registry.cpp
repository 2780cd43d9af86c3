#include "core/xregistry.h"
#include "platform/xplatform.h"
#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QSettings>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// The registry without a registry: one INI file per root key under a
// configuration directory that each case gets fresh.
class TestRegistry : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;

private Q_SLOTS:
    void init();
    void paths_data();
    void paths();
    void throughPage();
};

void TestRegistry::init()
{
    m_config.reset(new QTemporaryDir);
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
    QVERIFY(XPlatform::registryDirectory().startsWith(m_config->path()));
}

void TestRegistry::paths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");
    // Empty file: the path names no store.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("keyInFile");
    QTest::newRow("outer-slashes") << "/HKEY_CURRENT_USER/Software/Vesk/"
                                   << "k"
                                   << "HKEY_CURRENT_USER.ini"
                                   << "Software/Vesk/k";
    QTest::newRow("backslashes") << "HKEY_CURRENT_USER\\Software\\Vesk"
                                 << "k"
                                 << "HKEY_CURRENT_USER.ini"
                                 << "Software/Vesk/k";
    QTest::newRow("many-outer-slashes") << "//HKEY_CURRENT_USER/Software//"
                                        << "k"
                                        << "HKEY_CURRENT_USER.ini"
                                        << "Software/k";
    QTest::newRow("root-only") << "HKEY_LOCAL_MACHINE"
                               << "k"
                               << "HKEY_LOCAL_MACHINE.ini"
                               << "k";
    QTest::newRow("key-with-slash") << "HKEY_CURRENT_USER/Software"
                                    << "a/b"
                                    << "HKEY_CURRENT_USER.ini"
                                    << "Software/a/b";
    QTest::newRow("non-ascii-group") << "HKEY_CURRENT_USER/Nastavení"
                                     << "klíč"
                                     << "HKEY_CURRENT_USER.ini"
                                     << "Nastavení/klíč";
    QTest::newRow("parent-element") << "HKEY_CURRENT_USER/../../x"
                                    << "k"
                                    << ""
                                    << "";
    QTest::newRow("parent-root") << "../etc/x"
                                 << "k"
                                 << ""
                                 << "";
    QTest::newRow("dot-element") << "HKEY_CURRENT_USER/./x"
                                 << "k"
                                 << ""
                                 << "";
    QTest::newRow("empty-element") << "HKEY_CURRENT_USER//x"
                                   << "k"
                                   << ""
                                   << "";
    QTest::newRow("leading-backslash") << "\\HKEY_CURRENT_USER\\x"
                                       << "k"
                                       << ""
                                       << "";
    QTest::newRow("root-with-dot") << "evil.ini/x"
                                   << "k"
                                   << ""
                                   << "";
    QTest::newRow("root-with-space") << "a b/x"
                                     << "k"
                                     << ""
                                     << "";
    QTest::newRow("root-with-colon") << "C:/x"
                                     << "k"
                                     << ""
                                     << "";
    QTest::newRow("empty-path") << ""
                                << "k"
                                << ""
                                << "";
    QTest::newRow("only-slashes") << "///"
                                  << "k"
                                  << ""
                                  << "";
}

void TestRegistry::paths()
{
    QFETCH(QString, path);
    QFETCH(QString, key);
    QFETCH(QString, file);
    QFETCH(QString, keyInFile);

    XRegistry(path).set(key, QStringLiteral("v"));
    const QDir dir(XPlatform::registryDirectory());
    if (file.isEmpty()) {
        QVERIFY(!XRegistry(path).isValid());
        QCOMPARE(XRegistry(path).get(key, QStringLiteral("default")).toString(), QStringLiteral("default"));
        QVERIFY(!XRegistry(path).contains(key));
        // Nothing anywhere under the configuration directory.
        QDirIterator it(m_config->path(), QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!it.hasNext(), qPrintable(it.hasNext() ? it.next() : QString()));
        return;
    }
    QCOMPARE(dir.entryList(QDir::Files), QStringList {file});
    QSettings ini(dir.filePath(file), QSettings::IniFormat);
    QCOMPARE(ini.value(keyInFile).toString(), QStringLiteral("v"));
    QVERIFY(XRegistry(path).contains(key));
    QCOMPARE(XRegistry(path).get(key, QString()).toString(), QStringLiteral("v"));
}

void TestRegistry::throughPage()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> window(h.openWindow(QStringLiteral("/init.html")));
    const QString result =
        VeskHarness::eval(
            window->mainFrame(),
            QStringLiteral("var p = 'HKEY_CURRENT_USER/Software/Vesk';"
                           "app.regSet(p, 'top', 1); app.regSet(p, 'g/a', 'x'); app.regSet(p, 'g/h/b', [1, 'two']);"
                           "var r = [app.regAllKeys('/' + p + '/').sort(), app.regKeys(p), app.regGroups(p),"
                           " app.regGet(p, 'g/h/b'), app.regGet(p, 'missing'), app.regGet(p, 'missing', 5),"
                           " app.regIsSet(p, 'g'), app.regIsSet('HKEY_CURRENT_USER\\\\Software\\\\Vesk', 'top')];"
                           "app.regDelete(p, 'g');"
                           "r.push(app.regAllKeys(p), app.regDelete(p, ''), app.regKeys(p));"
                           "JSON.stringify(r)"))
            .toString();
    QCOMPARE(result,
             QStringLiteral(R"([["g/a","g/h/b","top"],["top"],["g"],[1,"two"],"",5,false,true,["top"],null,["top"]])"));
}

QTEST_MAIN(TestRegistry)
#include "tst_registry.moc"
