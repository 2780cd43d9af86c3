#include "web/xwebview.h"

#include "web/xcookiejar.h"
#include "web/xwebpage.h"
#include "web/xwebpluginfactory.h"
#include "web/xwebsettings.h"

#include <QNetworkAccessManager>
#include <QWebFrame>

XWebView::XWebView(QWidget *parent)
    : QWebView(parent)
{
    // The view owns its page, so a closed popup's page stops with it; each view
    // has its own network access manager and cookies.
    m_page = new XWebPage(this);
    m_cookieJar = new XCookieJar;
    setPage(m_page);
    m_page->networkAccessManager()->setCookieJar(m_cookieJar);
    XWebSettings::applyToPage(m_page);
    m_page->setPluginFactory(new XWebPluginFactory(this));
    connect(this, &QWebView::loadStarted, this, [this] { m_lastLoadStopped = false; });
    setProperty("widgetLastId", 0);
}

XWebView::~XWebView()
{
    // The page's teardown emits load signals; nobody listening may see a half-destroyed view.
    m_page->mainFrame()->disconnect();
    m_page->disconnect();
    disconnect();
}

void XWebView::setWindowFactory(const WindowFactory &factory)
{
    m_windowFactory = factory;
}

void XWebView::wireLocalOnly()
{
    if (m_localOnly)
        return;
    m_localOnly = true;
    connect(this, &QWebView::loadStarted, this, &XWebView::loadingStarted);
}

void XWebView::loadingStarted()
{
    if (!m_page->mainFrame()->requestedUrl().toString().startsWith(QLatin1String("file:///"))) {
        m_lastLoadStopped = true;
        stop();
    }
}

QWebView *XWebView::createWindow(QWebPage::WebWindowType type)
{
    return m_windowFactory ? m_windowFactory(type) : nullptr;
}

void XWebView::setPageDoors(const PublishDoor &publish, const EvaluateDoor &evaluate)
{
    m_publishDoor = publish;
    m_evaluateDoor = evaluate;
}

bool XWebView::publishPluginObject(QObject *object, const QString &name)
{
    return m_publishDoor && m_publishDoor(object, name);
}

bool XWebView::evaluateTrusted(const QString &script)
{
    return m_evaluateDoor && m_evaluateDoor(script);
}

int XWebView::addWidget(QWidget *widget)
{
    m_widgets.setLastId(property("widgetLastId").toInt());
    const int id = m_widgets.add(widget);
    setProperty("widgetLastId", id);
    return id;
}

void XWebView::forward()
{
    const int id = property("widgetLastId").toInt();
    QWidget *widget = qobject_cast<QWidget *>(property("widgetObj").value<QObject *>());
    if (!widget)
        return;
    widget->setParent(this);
    m_widgets.insert(id, widget);
}
