#include "veskharness.h"
#include "web/xwebpluginfactory.h"
#include "web/xwebview.h"
#include "web/xwidgetembed.h"
#include "window/xwebwindow.h"

#include <QPointer>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// Stands in for a plug-in that hands a widget to its view.
class WidgetHandingFixture : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void registerWidgetSignal();
};

class TestWidgets : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;

private Q_SLOTS:
    void init();
    void cleanup();
    void idsPerView();
    void operations();
    void factory_data();
    void factory();
    void embedding();
    void forward();
    void iframeLoaded_data();
    void iframeLoaded();
};

void TestWidgets::init()
{
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"),
                         "<html><body><div id='slot'></div>"
                         "<iframe name='f' src='about:blank'></iframe></body></html>");
    m_harness->writePage(QStringLiteral("w.html"), "<html><body>widget</body></html>");
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
}

void TestWidgets::cleanup()
{
    m_window.reset();
    m_harness.reset();
}

void TestWidgets::idsPerView()
{
    QCOMPARE(eval("app.createWidgetIframe('app/w.html')").toInt(), 1);
    QCOMPARE(eval("app.createWidgetIframe('app/w.html', 40, 30, true)").toInt(), 2);
    std::unique_ptr<XWebWindow> other(m_harness->openWindow(QStringLiteral("/init.html")));
    QCOMPARE(other->mainFrame()->evaluateJavaScript("app.createWidgetIframe('app/w.html', 7, 8)").toInt(), 1);

    auto *first = qobject_cast<XWebView *>(m_window->view()->widgets().widget(1));
    QVERIFY(first);
    QCOMPARE(first->size(), QSize(100, 100));
    QVERIFY(first->testAttribute(Qt::WA_OpaquePaintEvent) || !first->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(!m_window->view()->widgets().widget(2)->testAttribute(Qt::WA_OpaquePaintEvent));
    QVERIFY(!first->isVisible());
    QTRY_COMPARE(first->url(), QUrl::fromLocalFile(m_harness->path() + QStringLiteral("/app/w.html")));
    // Widget iframes get no native objects.
    QTRY_COMPARE(first->page()->mainFrame()->evaluateJavaScript("typeof app + typeof widget").toString(),
                 QStringLiteral("undefinedundefined"));
    // switchWidget acts on the calling page's own view only.
    QCOMPARE(other->mainFrame()->evaluateJavaScript("app.switchWidget(1); widget.getWidth()").toInt(), 7);
    QCOMPARE(eval("app.switchWidget(1); widget.getWidth()").toInt(), 100);
}

void TestWidgets::operations()
{
    eval("app.createWidgetIframe('app/w.html'); app.switchWidget(1);");
    QPointer<QWidget> w = m_window->view()->widgets().widget(1);
    QCOMPARE(eval("widget.show(); widget.setPosition(5, 6); widget.setX(10); [widget.getX(), widget.getY()].join()")
                 .toString(),
             QStringLiteral("10,6"));
    QCOMPARE(eval("widget.setY(20); [widget.getX(), widget.getY()].join()").toString(), QStringLiteral("10,20"));
    QCOMPARE(
        eval("widget.setSize(50, 60); widget.setWidth(70); [widget.getWidth(), widget.getHeight()].join()").toString(),
        QStringLiteral("70,60"));
    QCOMPARE(w->minimumWidth(), 70);
    QCOMPARE(w->maximumWidth(), 70);
    QVERIFY(w->isVisible());
    eval("widget.hide()");
    QVERIFY(!w->isVisible());

    // After remove, and for ids that name nothing, operations do nothing and getters answer 0.
    eval("widget.remove();");
    QTRY_VERIFY(!w);
    const QString all = "widget.show(); widget.hide(); widget.setWidth(1); widget.setHeight(1); widget.setSize(1,1);"
                        "widget.setX(1); widget.setY(1); widget.setPosition(1,1); widget.remove();"
                        "[widget.getWidth(), widget.getHeight(), widget.getX(), widget.getY()].join()";
    QCOMPARE(eval(all).toString(), QStringLiteral("0,0,0,0"));
    QCOMPARE(eval("app.switchWidget(99);" + all).toString(), QStringLiteral("0,0,0,0"));
    // Ids are not reused.
    QCOMPARE(eval("app.createWidgetIframe('app/w.html')").toInt(), 2);
}

void TestWidgets::factory_data()
{
    QTest::addColumn<QString>("mime");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<bool>("created");
    QTest::addColumn<QSize>("size");

    QTest::newRow("width-only") << "vesk/widget" << QStringList {"widgetid", "width"} << QStringList {"2", "300"}
                                << true << QSize(300, 100);
    QTest::newRow("both") << "vesk/widget" << QStringList {"height", "widgetid", "width"}
                          << QStringList {"40", "2", "30"} << true << QSize(30, 40);
    QTest::newRow("non-number-size-ignored")
        << "vesk/widget" << QStringList {"widgetid", "width"} << QStringList {"2", "wide"} << true << QSize(100, 100);
    QTest::newRow("last-repeat-wins") << "vesk/widget" << QStringList {"widgetid", "widgetid"} << QStringList {"9", "2"}
                                      << true << QSize(100, 100);
    QTest::newRow("other-mime") << "application/x-other" << QStringList {"widgetid"} << QStringList {"2"} << false
                                << QSize();
    QTest::newRow("non-numeric-id") << "vesk/widget" << QStringList {"widgetid"} << QStringList {"two"} << false
                                    << QSize();
    QTest::newRow("unknown-id") << "vesk/widget" << QStringList {"widgetid"} << QStringList {"7"} << false << QSize();
    QTest::newRow("missing-id") << "vesk/widget" << QStringList {"width"} << QStringList {"5"} << false << QSize();
    QTest::newRow("name-case-sensitive") << "vesk/widget" << QStringList {"WidgetId"} << QStringList {"2"} << false
                                         << QSize();
}

void TestWidgets::factory()
{
    QFETCH(QString, mime);
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);
    QFETCH(bool, created);
    QFETCH(QSize, size);
    // An element of the page asks for widget 2, out of the layout so the engine
    // itself makes nothing for it.
    eval("app.createWidgetIframe('app/w.html'); app.createWidgetIframe('app/w.html');"
         "document.getElementById('slot').innerHTML = '<div style=\"display:none\"><object type=\"vesk/widget\">"
         "<param name=\"widgetid\" value=\"2\"></object></div>';");
    auto *factory = qobject_cast<XWebPluginFactory *>(m_window->view()->page()->pluginFactory());
    QVERIFY(factory);
    QCOMPARE(factory->plugins().value(0).name, QStringLiteral("VESK widget"));
    std::unique_ptr<QObject> made(factory->create(mime, QUrl(), names, values));
    QCOMPARE(made != nullptr, created);
    if (created) {
        // The engine gets a stand-in that shows the widget, never the widget.
        auto *embed = dynamic_cast<XWidgetEmbed *>(made.get());
        QVERIFY(embed);
        QCOMPARE(embed->content(), m_window->view()->widgets().widget(2));
        QCOMPARE(embed->content()->size(), size);
    }
}

void TestWidgets::embedding()
{
    eval("app.createWidgetIframe('app/w.html'); app.createWidgetIframe('app/w.html');"
         "document.getElementById('slot').innerHTML = '<object type=\"vesk/widget\" id=\"o\">"
         "<param name=\"widgetid\" value=\"2\"><param name=\"width\" value=\"300\"></object>"
         "<object type=\"vesk/widget\" id=\"bad\"><param name=\"widgetid\" value=\"x\"></object>';"
         "document.body.offsetHeight;");
    QWidget *w = m_window->view()->widgets().widget(2);
    QTRY_COMPARE(w->width(), 300);
    QCOMPARE(w->height(), 100);
    QTRY_VERIFY(w->isVisible());
    QCOMPARE(m_window->view()->widgets().widget(1)->isVisible(), false);
    // The element's script object is a stand-in: it neither deletes, hides,
    // moves nor pictures the widget.
    QCOMPARE(eval("var o = document.getElementById('o'), r = [];"
                  "['deleteLater', 'hide', 'close', 'grab'].forEach(function(m){"
                  "  try { r.push(String(o[m]())); } catch (e) { r.push('x'); } });"
                  "try { o.geometry = {x: 0, y: 0, width: 1, height: 1}; } catch (e) {}"
                  "r.length").toInt(), 4);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(w->width(), 300);
    QTRY_VERIFY(w->isVisible());
    // Removing an embedded widget takes it out of the element; the next
    // document finds no dangling widget.
    eval("app.switchWidget(2); widget.remove();");
    QTRY_VERIFY(!m_window->view()->widgets().widget(2));
    m_window->load(QStringLiteral("init.html"));
    QVERIFY(VeskHarness::waitForLoad(m_window->view()));
    QCOMPARE(eval("1 + 1").toInt(), 2);
    // A widget whose element went with its document is the view's again.
    QWidget *first = m_window->view()->widgets().widget(1);
    eval("document.getElementById('slot').innerHTML = '<object type=\"vesk/widget\">"
         "<param name=\"widgetid\" value=\"1\"></object>'; document.body.offsetHeight;");
    QTRY_VERIFY(first->isVisible());
    m_window->load(QStringLiteral("init.html"));
    QVERIFY(VeskHarness::waitForLoad(m_window->view()));
    QTRY_VERIFY(!first->isVisible());
    QCOMPARE(m_window->view()->widgets().widget(1), first);
}

void TestWidgets::forward()
{
    XWebView *view = m_window->view();
    WidgetHandingFixture plugin;
    connect(&plugin, &WidgetHandingFixture::registerWidgetSignal, view, &XWebView::forward);

    // Nothing in "widgetObj": nothing stored.
    view->setProperty("widgetLastId", 4);
    emit plugin.registerWidgetSignal();
    QVERIFY(!view->widgets().widget(4));
    view->setProperty("widgetObj", QVariant::fromValue<QObject *>(&plugin));
    emit plugin.registerWidgetSignal();
    QVERIFY(!view->widgets().widget(4));

    auto *handed = new QWidget;
    view->setProperty("widgetObj", QVariant::fromValue(handed));
    emit plugin.registerWidgetSignal();
    QCOMPARE(view->widgets().widget(4), handed);
    QCOMPARE(handed->parentWidget(), view);
    QCOMPARE(view->property("widgetLastId").toInt(), 4);
    QCOMPARE(eval("app.switchWidget(4); widget.setSize(33, 22); widget.getWidth()").toInt(), 33);
}

void TestWidgets::iframeLoaded_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<bool>("ok");
    QTest::newRow("loads") << "w.html" << true;
    QTest::newRow("fails") << "http://127.0.0.1:1/" << false;
}

void TestWidgets::iframeLoaded()
{
    QFETCH(QString, src);
    QFETCH(bool, ok);
    m_harness->answerDialogs();
    eval("window.got = []; window.done = function(v){ got.push(v); };"
         "app._iframeLoaded('nosuch', 'done'); app._iframeLoaded('f', 'done');"
         "document.getElementsByName('f')[0].src = '"
         + src + "';");
    QTRY_COMPARE_WITH_TIMEOUT(eval("got.join()").toString(), QString(ok ? "true" : "false"), 15000);
    QTRY_VERIFY(m_harness->dialogTexts().join('\n').contains(QStringLiteral("Info:child ")));
    QCOMPARE(m_window->view()->page()->settings()->testAttribute(QWebSettings::AutoLoadImages), false);
    if (ok) {
        // From the next document on, the iframe is cut off from its parent.
        QWebFrame *child = m_window->mainFrame()->childFrames().value(0);
        QSignalSpy loaded(child, &QWebFrame::loadFinished);
        eval("document.getElementsByName('f')[0].src = 'w.html?again';");
        QVERIFY(loaded.wait(10000));
        // (The engine keeps window.top read-only.)
        QCOMPARE(child->evaluateJavaScript("window.parent === null && window.opener === null").toBool(), true);
    }
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
