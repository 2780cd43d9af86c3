#include "page/xpagebinding.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QPointer>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// Real plug-in libraries loaded into real pages, and direct calls from links.
class TestPlugins : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loadPlugin_data();
    void loadPlugin();
    void pluginGoneAfterNavigation();
    void pluginFromPopupLandsInPopup();
    void onlyTheFactoryIsExported();
    void directCalls_data();
    void directCalls();
    void directCallLibraryLoadedOnce();
    void callbacksReachOnlyTrustedDocuments();
    void pluginHandsWidgetToView();

private:
    static bool install(const QString &from, const QString &name);
    static QVariantList recordedCalls();
};

bool TestPlugins::install(const QString &from, const QString &name)
{
    QDir().mkpath(QStringLiteral("libs"));
    return QFile::copy(from, QStringLiteral("libs/") + name);
}

QVariantList TestPlugins::recordedCalls()
{
    QLibrary library(QDir::current().absoluteFilePath(QStringLiteral("libs/DirectFixture.so")));
    using Direct = QVariant (*)(QVariantList &);
    auto recorded = reinterpret_cast<Direct>(library.resolve("recordedCalls"));
    QVariantList none;
    return recorded ? recorded(none).toList() : QVariantList {QStringLiteral("fixture missing")};
}

void TestPlugins::loadPlugin_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("installedAs");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("loads");
    QTest::newRow("relative-so") << EXAMPLE_PLUGIN << "VeskExample.so"
                                 << "libs/VeskExample.so" << true;
    QTest::newRow("windows-name") << EXAMPLE_PLUGIN << "VeskExample.so"
                                  << "libs/VeskExample.dll" << true;
    QTest::newRow("no-suffix") << EXAMPLE_PLUGIN << "VeskExample.so"
                               << "libs/VeskExample" << true;
    QTest::newRow("dotted-relative") << EXAMPLE_PLUGIN << "VeskExample.so"
                                     << "./libs/../libs/VeskExample.dll" << true;
    QTest::newRow("missing") << EXAMPLE_PLUGIN << "VeskExample.so"
                             << "libs/Missing.dll" << false;
    QTest::newRow("empty-path") << EXAMPLE_PLUGIN << "VeskExample.so"
                                << "" << false;
    QTest::newRow("without-getPlugin") << NO_GETPLUGIN << "NoGetPlugin.so"
                                       << "libs/NoGetPlugin.dll" << false;
    QTest::newRow("not-a-library") << QStringLiteral(NOT_A_LIBRARY) << "Text.so"
                                   << "libs/Text.so" << false;
}

void TestPlugins::loadPlugin()
{
    QFETCH(QString, library);
    QFETCH(QString, installedAs);
    QFETCH(QString, path);
    QFETCH(bool, loads);

    VeskHarness h;
    QVERIFY(install(library, installedAs));
    h.writePage(QStringLiteral("init.html"), "<html><body>p</body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QWebFrame *frame = w->mainFrame();
    const QString before = VeskHarness::eval(frame, QStringLiteral("Object.keys(window).sort().join()")).toString();

    QCOMPARE(
        VeskHarness::eval(
            frame, QStringLiteral("typeof app.loadPlugin(%1)").arg(QString::fromLatin1("'" + path.toLatin1() + "'")))
            .toString(),
        QStringLiteral("undefined"));
    if (!loads) {
        QCOMPARE(VeskHarness::eval(frame, QStringLiteral("Object.keys(window).sort().join()")).toString(), before);
        return;
    }
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("lexample.greet('page')")).toString(),
             QStringLiteral("Hello, page!"));
    // Data comes back through the literal encoder, whatever it holds.
    VeskHarness::eval(frame,
                      QStringLiteral("window.answer = null; lexample.greetLater(\"it's </script>\\\\\", "
                                     "'(function(t){window.answer = t;})');"));
    QTRY_COMPARE(VeskHarness::eval(frame, QStringLiteral("window.answer")).toString(),
                 QStringLiteral("Hello, it's </script>\\!"));
}

void TestPlugins::pluginGoneAfterNavigation()
{
    VeskHarness h;
    QVERIFY(install(EXAMPLE_PLUGIN, QStringLiteral("VeskExample.so")));
    h.writePage(QStringLiteral("init.html"), "<html><body>one</body></html>");
    h.writePage(QStringLiteral("second.html"), "<html><body>two</body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QWebFrame *frame = w->mainFrame();
    VeskHarness::eval(frame, QStringLiteral("app.loadPlugin('libs/VeskExample.dll')"));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("typeof lexample")).toString(), QStringLiteral("object"));
    QPointer<QObject> first = w->view()->findChild<QObject *>(QString(), Qt::FindDirectChildrenOnly);

    w->load(QStringLiteral("/second.html"));
    QVERIFY(VeskHarness::waitForLoad(w->view()));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("document.body.textContent")).toString(), QStringLiteral("two"));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("typeof lexample")).toString(), QStringLiteral("undefined"));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("typeof app")).toString(), QStringLiteral("object"));

    VeskHarness::eval(frame, QStringLiteral("app.loadPlugin('libs/VeskExample')"));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("lexample.greet('again')")).toString(),
             QStringLiteral("Hello, again!"));
    // Each load makes one object, a child of the view.
    int plugins = 0;
    for (QObject *child : w->view()->children())
        plugins += child->inherits("VESKPlugin") ? 1 : 0;
    QCOMPARE(plugins, 2);
    Q_UNUSED(first);
}

void TestPlugins::pluginFromPopupLandsInPopup()
{
    VeskHarness h;
    QVERIFY(install(EXAMPLE_PLUGIN, QStringLiteral("VeskExample.so")));
    h.writePage(QStringLiteral("init.html"), "<html><body>opener</body></html>");
    h.writePage(QStringLiteral("popup.html"),
                "<html><body><script>app.loadPlugin('libs/VeskExample.dll');"
                "window.seen = typeof lexample;</script></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    const QWidgetList before = QApplication::topLevelWidgets();
    VeskHarness::eval(w->mainFrame(), QStringLiteral("window.open('popup.html')"));
    QPointer<XWebView> popup;
    QTRY_VERIFY([&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (!before.contains(top) && qobject_cast<XWebView *>(top))
                popup = static_cast<XWebView *>(top);
        }
        return !popup.isNull();
    }());
    QTRY_COMPARE(VeskHarness::eval(popup->page()->mainFrame(), QStringLiteral("window.seen")).toString(),
                 QStringLiteral("object"));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("typeof lexample")).toString(),
             QStringLiteral("undefined"));
    // The object belongs to the popup's view and goes with it.
    QObject *plugin = nullptr;
    for (QObject *child : popup->children()) {
        if (child->inherits("VESKPlugin"))
            plugin = child;
    }
    QVERIFY(plugin);
    QPointer<QObject> watched(plugin);
    popup->close();
    QTRY_VERIFY(watched.isNull());
}

void TestPlugins::onlyTheFactoryIsExported()
{
    QLibrary library(QStringLiteral(EXAMPLE_PLUGIN));
    QVERIFY2(library.load(), qPrintable(library.errorString()));
    QVERIFY(library.resolve("getPlugin"));
    QVERIFY(library.resolve("remember"));
    // The contract's and the plug-in's own C++ symbols stay inside.
    QVERIFY(!library.resolve("_ZNK10VESKPlugin16scriptObjectNameEv"));
    QVERIFY(!library.resolve("_ZN10VESKPlugin12attachToViewEv"));
    QVERIFY(!library.resolve("_ZN11VeskExample5greetERK7QString"));
    QVERIFY(!library.resolve("_ZN10XJsLiteral10fromStringERK7QString"));
}

void TestPlugins::directCalls_data()
{
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QVariantList>("calls");
    const auto call = [](const QStringList &arguments) { return QVariant(QVariant(arguments).toList()); };
    QTest::newRow("with-at") << QStringList {"app://call/@DirectFixture/record/a/b"} << QVariantList {call({"a", "b"})};
    QTest::newRow("without-at") << QStringList {"app://call/DirectFixture/record/a"} << QVariantList();
    QTest::newRow("no-arguments") << QStringList {"app://call/@DirectFixture/record"} << QVariantList {call({})};
    QTest::newRow("empty-segments-kept-query-dropped")
        << QStringList {"app://call/@DirectFixture/record//x?y=1"} << QVariantList {call({"", "x"})};
    QTest::newRow("function-not-exported") << QStringList {"app://call/@DirectFixture/nothing/a"} << QVariantList();
    QTest::newRow("no-function") << QStringList {"app://call/@DirectFixture"} << QVariantList();
    // The loader finds these through the library's dependencies or as data.
    QTest::newRow("dependency-function") << QStringList {"app://call/@DirectFixture/abort"} << QVariantList();
    QTest::newRow("dependency-data") << QStringList {"app://call/@DirectFixture/environ"} << QVariantList();
    QTest::newRow("plug-in-entry") << QStringList {"app://call/@DirectFixture/getPlugin"} << QVariantList();
    QTest::newRow("library-missing") << QStringList {"app://call/@Missing/record/a"} << QVariantList();
    QTest::newRow("in-order") << QStringList {"app://call/@DirectFixture/record/1",
                                              "app://call/@DirectFixture/record/2"}
                              << QVariantList {call({"1"}), call({"2"})};
}

void TestPlugins::directCalls()
{
    QFETCH(QStringList, links);
    QFETCH(QVariantList, calls);
    VeskHarness h;
    QVERIFY(install(DIRECT_FIXTURE, QStringLiteral("DirectFixture.so")));
    h.writePage(QStringLiteral("init.html"), "<html><body>p</body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    for (const QString &link : links)
        w->binding()->followLink(QUrl(link));
    QCOMPARE(recordedCalls(), calls);
    // Nothing was loaded into the page.
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("document.body.textContent")).toString(),
             QStringLiteral("p"));
}

void TestPlugins::directCallLibraryLoadedOnce()
{
    VeskHarness h;
    h.writePage(QStringLiteral("init.html"),
                "<html><body><a id='l' href='app://call/@DirectFixture/record/clicked'>"
                "x</a></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    const QUrl link(QStringLiteral("app://call/@DirectFixture/record/a"));

    // A failed load is not remembered: the next link tries again.
    w->binding()->followLink(link);
    QVERIFY(!w->libraries().isLoaded(QStringLiteral("@DirectFixture")));
    QVERIFY(install(DIRECT_FIXTURE, QStringLiteral("DirectFixture.so")));
    w->binding()->followLink(link);
    QVERIFY(w->libraries().isLoaded(QStringLiteral("@DirectFixture")));
    QCOMPARE(recordedCalls().size(), 1);

    // Loaded once: the file can go, the window keeps its library.
    QVERIFY(QFile::remove(QStringLiteral("libs/DirectFixture.so")));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("document.getElementById('l').click()"));
    QVERIFY(QFile::copy(QStringLiteral(DIRECT_FIXTURE), QStringLiteral("libs/DirectFixture.so")));
    QTRY_COMPARE(recordedCalls().size(), 2);
    QCOMPARE(recordedCalls().last().toStringList(), QStringList {QStringLiteral("clicked")});
}

void TestPlugins::callbacksReachOnlyTrustedDocuments()
{
    VeskHarness h;
    const QByteArray page = "<html><body><script>function cb(){ window.reached = true; }</script></body></html>";
    h.writePage(QStringLiteral("init.html"), page);
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QVERIFY(w->view()->evaluateTrusted(QStringLiteral("cb()")));
    QVERIFY(VeskHarness::eval(w->mainFrame(), QStringLiteral("window.reached")).toBool());
    // The view moves on to a remote document with the same function: a late call back reaches nobody.
    w->view()->setHtml(QString::fromLatin1(page), QUrl(QStringLiteral("http://remote.invalid/")));
    QTRY_COMPARE(w->mainFrame()->url().host(), QStringLiteral("remote.invalid"));
    QVERIFY(!w->view()->evaluateTrusted(QStringLiteral("cb()")));
    QVERIFY(!VeskHarness::eval(w->mainFrame(), QStringLiteral("window.reached")).toBool());
}

void TestPlugins::pluginHandsWidgetToView()
{
    VeskHarness h;
    QVERIFY(install(WIDGET_FIXTURE, QStringLiteral("WidgetFixture.so")));
    h.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QWebFrame *frame = w->mainFrame();
    VeskHarness::eval(frame, QStringLiteral("app.loadPlugin('libs/WidgetFixture'); lwidget.handOver(7);"));
    QWidget *handed = w->view()->widgets().widget(7);
    QVERIFY(handed);
    QCOMPARE(handed->objectName(), QStringLiteral("handed"));
    QCOMPARE(handed->parentWidget(), w->view());
    // The page places it like any widget of its own.
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("app.switchWidget(7); widget.setSize(40, 30); widget.getWidth()"))
                 .toInt(),
             40);
}

QTEST_MAIN(TestPlugins)
#include "tst_plugins.moc"
