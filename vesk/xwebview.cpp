#include "xwebview.h"

#include "xbridgescript.h"
#include "xcookiejar.h"
#include "xgeometry.h"
#include "xjavascriptapi.h"
#include "xtrustpolicy.h"
#include "xwebpage.h"
#include "xwebpluginfactory.h"
#include "xwebwindow.h"
#include "xwidgetapi.h"

#include <QNetworkAccessManager>
#include <QWebFrame>
#include <QWebSecurityOrigin>
#include <QWebSettings>

XWebView::XWebView(QWidget *owner)
    : QWebView(owner)
    , m_owner(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A local scheme may only be navigated to from local documents, so the engine
    // itself refuses app:// links in remote pages and frames.
    static const bool appSchemeIsLocal = [] {
        QWebSecurityOrigin::addLocalScheme(QStringLiteral("app"));
        return true;
    }();
    Q_UNUSED(appSchemeIsLocal);

    // The view owns its page, so a closed popup's page stops with it.
    m_page = new XWebPage(this);
    m_cookieJar = new XCookieJar;
    setPage(m_page);
    m_page->networkAccessManager()->setCookieJar(m_cookieJar);

    settings()->setAttribute(QWebSettings::PluginsEnabled, true);
    m_page->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
    settings()->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    m_page->settings()->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);

    setProperty("widgetLastId", 0);
    m_page->setPluginFactory(new XWebPluginFactory(this));
    connect(this, &QWebView::loadStarted, this, [this] { m_lastLoadStopped = false; });
}

XJavaScriptAPI *XWebView::api() const
{
    return m_api;
}

void XWebView::setApi(XJavaScriptAPI *api)
{
    m_api = api;
}

XWidgetAPI *XWebView::widgetApi() const
{
    return m_widgetApi;
}

void XWebView::setWidgetApi(XWidgetAPI *widgetApi)
{
    m_widgetApi = widgetApi;
}

bool XWebView::documentTrusted() const
{
    QWebFrame *frame = m_page->mainFrame();
    // A window's first, empty document is made by native code, not by a page.
    if (!m_isPopup && frame->url().isEmpty())
        return true;
    // The origin, not the URL: an about:blank carries the origin of whoever made it.
    const QWebSecurityOrigin origin = frame->securityOrigin();
    return XTrustPolicy::isTrustedOrigin(origin.scheme(), origin.host(), origin.port());
}

void XWebView::wireLocalOnly()
{
    if (m_localOnly)
        return;
    m_localOnly = true;
    connect(this, &QWebView::urlChanged, this, &XWebView::loadingChanged);
    connect(this, &QWebView::loadFinished, this, &XWebView::loadingFinished);
    connect(this, &QWebView::loadStarted, this, &XWebView::loadingStarted);
}

XAppLink XWebView::followLink(const QUrl &url)
{
    const XAppLink link = XAppLink::parse(url);
    if (link.verb() == XAppLink::NotAppLink) {
        load(url);
        return link;
    }
    // A remote document never reaches native code, not even through links.
    if (!m_api || !documentTrusted())
        return XAppLink();
    if (link.verb() == XAppLink::Alert)
        m_api->alert(link.arguments());
    return link;
}

void XWebView::forward()
{
}

void XWebView::loadingChanged(const QUrl &)
{
}

void XWebView::loadingFinished(bool)
{
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
    // A view without an API object (an embedded widget) opens no windows.
    if (!m_api)
        return nullptr;

    auto *popup = new XWebView(nullptr);
    popup->m_owner = this;
    popup->m_isPopup = true;
    if (type == QWebPage::WebModalDialog)
        popup->setWindowModality(Qt::ApplicationModal);

    if (documentTrusted()) {
        // Published once the popup's document shows that it is the application's:
        // a remote frame of a local page can open popups too.
        popup->m_api = new XJavaScriptAPI(popup, m_api->window(), popup->page()->mainFrame(), false);
        popup->m_widgetApi = new XWidgetAPI(popup, popup);
    }
    connect(popup->page()->mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, popup,
            &XWebView::attachPopupObjects);
    // Links in a popup behave as in a window.
    connect(popup, &QWebView::linkClicked, popup, [popup](const QUrl &url) { popup->followLink(url); });

    if (m_api->openingWidth() > 0) {
        popup->setWindowTitle(m_api->openingTitle());
        popup->resize(m_api->openingWidth(), m_api->openingHeight());
        // Centre over the opener's window; the opener itself stays where it is.
        const QRect area = window()->frameGeometry();
        popup->move(XGeometry::centred(area, popup->frameGeometry(), true, true));
    }
    return popup;
}

void XWebView::attachPopupObjects()
{
    if (!m_api || !documentTrusted())
        return;
    QWebFrame *frame = m_page->mainFrame();
    frame->addToJavaScriptWindowObject(QStringLiteral("app"), m_api);
    frame->addToJavaScriptWindowObject(QStringLiteral("widget"), m_widgetApi);
    if (!m_loadingIndicatorAdded) {
        m_loadingIndicatorAdded = true;
        for (const QString &text : XBridgeScript::loadingIndicator())
            frame->evaluateJavaScript(text);
    }
    for (const QString &text : XBridgeScript::callFunctions(QStringLiteral("app"), false))
        frame->evaluateJavaScript(text);
    m_api->publishNamedWindows();
}
