#include "page/xpagebinding.h"

#include "core/xgeometry.h"
#include "page/xbridgescript.h"
#include "web/xwebpage.h"
#include "web/xwebview.h"
#include "xjsliteral.h"

#include <QWebFrame>

namespace {
XPageBinding::ObjectMaker &objectMaker()
{
    static XPageBinding::ObjectMaker maker;
    return maker;
}
} // namespace

void XPageBinding::setObjectMaker(const ObjectMaker &maker)
{
    objectMaker() = maker;
}

XPageBinding::XPageBinding(XWebView *view, QWidget *window, Role role, const QString &ownName)
    : QObject(view)
    , m_view(view)
    , m_window(window)
    , m_role(role)
    , m_ownName(ownName)
{
    connect(m_view, &QWebView::linkClicked, this, [this](const QUrl &url) { followLink(url); });
    // A popup's opener is a trusted page the engine lets it script, so it may
    // not show local files that are not the application's.
    m_view->xpage()->setForeignFilesInMainFrame(m_role != PopupPage);
    m_view->xpage()->setBlankMainFrameTrust(m_role != BarePage, m_role == PopupPage);
    // Plug-ins reach the page only through the binding's doors.
    m_view->setPageDoors([this](QObject *object, const QString &name) {
        if (!object || name.isEmpty() || !documentTrusted())
            return false;
        publishOnce(name, object);
        return true;
    }, [this](const QString &script) { return evaluateTrusted(script); });
    if (m_role == BarePage)
        return;

    if (objectMaker())
        objectMaker()(this);
    m_view->setWindowFactory([this](QWebPage::WebWindowType type) { return createPopup(type); });
    connect(frame(), &QWebFrame::javaScriptWindowObjectCleared, this, &XPageBinding::documentCleared);

    if (m_role == WindowPage && m_api) {
        // A new window's empty document is the application's: the page that made
        // the window may script it before anything is loaded.
        publish(QStringLiteral("app"), m_api);
        evaluate(XBridgeScript::loadingIndicator());
        m_loadingIndicatorSet = true;
    }
}

XPageBinding *XPageBinding::of(const QWebView *view)
{
    return view ? view->findChild<XPageBinding *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QWebFrame *XPageBinding::frame() const
{
    return m_view->page()->mainFrame();
}

void XPageBinding::setObjects(QObject *api, QObject *widgetApi, QObject *hot)
{
    m_api = api;
    m_widgetApi = widgetApi;
    m_hot = hot;
    if (hot)
        hot->setParent(this);
    if (api)
        api->setParent(this);
    if (widgetApi)
        widgetApi->setParent(this);
}

QWidget *XPageBinding::window() const
{
    return m_window;
}

void XPageBinding::setOpeningProperties(const QString &title, int width, int height)
{
    m_openingTitle = title;
    m_openingWidth = width;
    m_openingHeight = height;
}

QWidget *XPageBinding::ownerWidget() const
{
    if (m_role == WindowPage && m_window)
        return m_window;
    return m_view;
}

bool XPageBinding::documentTrusted() const
{
    if (m_role == BarePage)
        return false;
    return m_view->xpage()->isDocumentTrusted(frame());
}

bool XPageBinding::evaluateTrusted(const QString &script, QVariant *result)
{
    if (!documentTrusted())
        return false;
    const QVariant value = frame()->evaluateJavaScript(script);
    if (result)
        *result = value;
    return true;
}

bool XPageBinding::allFramesTrusted(QWebFrame *frame) const
{
    if (!m_view->xpage()->isDocumentTrusted(frame))
        return false;
    const auto children = frame->childFrames();
    for (QWebFrame *child : children) {
        if (!allFramesTrusted(child))
            return false;
    }
    return true;
}

void XPageBinding::publishAlways(const QString &name, QObject *object)
{
    m_always.insert(name, object);
    publishOnce(name, object);
}

void XPageBinding::publishOnce(const QString &name, QObject *object)
{
    if (documentTrusted())
        publish(name, object);
}

void XPageBinding::publish(const QString &name, QObject *object)
{
    frame()->addToJavaScriptWindowObject(name, object);
    m_published.insert(name);
    // Wherever an API object goes (its own page, a parent's, a child's), its
    // hot object's slots go with it as its functions; only the bridge script
    // keeps hold of the hot object, the page sees no new name.
    const auto *owner = object ? qobject_cast<const XPageBinding *>(object->parent()) : nullptr;
    if (owner && object == owner->m_api && owner->m_hot) {
        const QString hot = XBridgeScript::hotObjectName();
        frame()->addToJavaScriptWindowObject(hot, owner->m_hot);
        m_published.insert(hot);
        evaluate(XBridgeScript::hotFunctions(name));
    }
}

void XPageBinding::evaluate(const QStringList &texts)
{
    for (const QString &text : texts)
        frame()->evaluateJavaScript(text);
}

void XPageBinding::withdrawAll()
{
    // The engine keeps the window object of a frame's first, empty document for
    // the first real document: what was given to the one must be taken from the other.
    for (const QString &name : qAsConst(m_published)) {
        const QString key = XJsLiteral::fromString(name);
        frame()->evaluateJavaScript(
            QStringLiteral("delete window[%1]; if (%1 in window) window[%1] = undefined;").arg(key));
    }
    m_published.clear();
}

void XPageBinding::documentCleared()
{
    if (!documentTrusted()) {
        withdrawAll();
        return;
    }
    // A child window's page finds its object under the window's name.
    const bool childWindow = m_role == WindowPage && m_ownName != QLatin1String("app");
    if (m_api)
        publish(m_ownName, m_api);
    if (m_widgetApi)
        publish(QStringLiteral("widget"), m_widgetApi);
    if (!m_loadingIndicatorSet) {
        m_loadingIndicatorSet = true;
        evaluate(XBridgeScript::loadingIndicator());
    }
    evaluate(XBridgeScript::callFunctions(m_ownName, childWindow));
    for (auto it = m_always.cbegin(); it != m_always.cend(); ++it) {
        if (it.value())
            publish(it.key(), it.value());
    }
}

XAppLink XPageBinding::followLink(const QUrl &url)
{
    const XAppLink link = XAppLink::parse(url);
    if (link.verb() == XAppLink::NotAppLink) {
        m_view->load(url);
        return link;
    }
    // A remote document never reaches native code, not even through links.
    if (!m_api || !documentTrusted())
        return XAppLink();
    if (link.verb() == XAppLink::Alert && m_alertAction)
        m_alertAction(link.arguments());
    // Library calls belong to a window's own page; popups have no library table.
    if (link.verb() == XAppLink::Call && m_role == WindowPage && m_callAction)
        m_callAction(link.arguments());
    return link;
}

QWebView *XPageBinding::createPopup(QWebPage::WebWindowType type)
{
    auto *popup = new XWebView(nullptr);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    if (type == QWebPage::WebModalDialog)
        popup->setWindowModality(Qt::ApplicationModal);
    // The engine does not say which frame opens the popup: while any frame holds
    // a document the application does not trust, the popup gets nothing.
    const bool trusted = documentTrusted() && allFramesTrusted(frame());
    new XPageBinding(popup, m_window, trusted ? PopupPage : BarePage, QStringLiteral("app"));
    connect(popup->page(), &QWebPage::windowCloseRequested, popup, &QWidget::close);

    if (m_openingWidth > 0) {
        popup->setWindowTitle(m_openingTitle);
        popup->resize(m_openingWidth, m_openingHeight);
        // Centre over the opener's window; the opener itself stays where it is.
        const QRect area = m_view->window()->frameGeometry();
        popup->move(XGeometry::centred(area, popup->frameGeometry(), true, true));
    }
    return popup;
}
