#include "xwebwindow.h"

#include "xbridgescript.h"
#include "xjavascriptapi.h"
#include "xpagepath.h"
#include "xplatform.h"
#include "xwebview.h"
#include "xwidgetapi.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QUuid>
#include <QWebFrame>
#include <QWebSettings>

XWebWindow::XWebWindow(XWebWindow *parentWindow, bool modal)
    : QMainWindow(parentWindow)
    , m_applicationDirectory(XPlatform::applicationDirectory())
    , m_baseDirectory(XPlatform::applicationDirectory())
{
    if (modal) {
        m_style.type = XWindowStyle::Dialog;
        m_style.minimizeButton = false;
        m_style.maximizeButton = false;
    }

    m_view = new XWebView(this);
    m_view->setInWindow(true);
    m_view->setContentsMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_view);

    QWebSettings::globalSettings()->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, true);

    if (modal) {
        setWindowFlags(Qt::Dialog);
        setWindowModality(Qt::WindowModal);
    } else {
        setWindowFlags(Qt::Window);
    }
    show();

    m_view->settings()->setAttribute(QWebSettings::PluginsEnabled, true);
    m_view->settings()->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    m_view->page()->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
    connect(m_view, &QWebView::linkClicked, this, &XWebWindow::linkClicked);

    m_mainFrame = m_view->page()->mainFrame();
    m_api = new XJavaScriptAPI(this, this, m_mainFrame);
    m_widgetApi = new XWidgetAPI(m_view, this);
    m_view->setApi(m_api);

    setObjectName(QStringLiteral("winobj") + QUuid::createUuid().toString(QUuid::Id128));

    if (parentWindow) {
        if (parentWindow->view()->documentTrusted())
            parentWindow->mainFrame()->addToJavaScriptWindowObject(objectName(), m_api);
        m_mainFrame->addToJavaScriptWindowObject(XBridgeScript::parentObjectName(), parentWindow->api());
    }
    connect(m_mainFrame, &QWebFrame::javaScriptWindowObjectCleared, this, &XWebWindow::attachObject);
    connect(m_view, &QWebView::loadFinished, this, [this](bool ok) {
        m_pageLoaded = ok || (m_pageLoaded && m_view->lastLoadStopped());
        m_loadHasFinished = true;
    });

    m_nativeHandle = winId();
}

QWebFrame *XWebWindow::mainFrame() const
{
    return m_mainFrame;
}

XWebWindow *XWebWindow::parentWindow() const
{
    return qobject_cast<XWebWindow *>(parent());
}

void XWebWindow::load(const QString &file)
{
    m_view->load(XPagePath::toUrl(m_applicationDirectory, m_baseDirectory, file));
}

void XWebWindow::showMissingApplication(const QString &path)
{
    const QString html = QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset='utf-8'><title>No application</title>"
        "<style>body{font-family:sans-serif;margin:3em;color:#333}code{background:#eee;padding:2px 4px}</style>"
        "<script>var vesk={_exit:function(){return true;}};</script></head><body>"
        "<h1>No application found</h1><p>vesk looked for the start page at</p><p><code>%1</code></p>"
        "<p>Start vesk in a directory that holds <code>app/init.html</code>, or name one with "
        "<code>--workdir</code>.</p></body></html>");
    setWindowTitle(QStringLiteral("vesk"));
    m_view->setHtml(html.arg(path.toHtmlEscaped()), QUrl(QStringLiteral("qrc:/")));
}

void XWebWindow::enableMenuBar()
{
    menuBar()->setDisabled(false);
}

void XWebWindow::disableMenuBar()
{
    menuBar()->setDisabled(true);
}

void XWebWindow::clearMenuBar()
{
    menuBar()->clear();
}

void XWebWindow::linkClicked(const QUrl &url)
{
    // Ordinary and alert links are the view's to follow; call links are parsed
    // there too and reach native libraries once plug-in loading exists.
    m_view->followLink(url);
}

void XWebWindow::attachObject()
{
    if (!m_view->documentTrusted())
        return;
    const bool hasParent = parent() != nullptr;
    const QString name = hasParent ? objectName() : QStringLiteral("app");
    m_mainFrame->addToJavaScriptWindowObject(name, m_api);
    m_mainFrame->addToJavaScriptWindowObject(QStringLiteral("widget"), m_widgetApi);
    for (const QString &text : XBridgeScript::callFunctions(name, hasParent))
        m_mainFrame->evaluateJavaScript(text);
    m_api->publishNamedWindows();
}

void XWebWindow::menuTriggered(char *name)
{
    if (name)
        m_api->js(QString::fromUtf8(name) + QStringLiteral("();"));
}

void XWebWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    // Nobody to ask: no page ever loaded, or the document is one the native
    // side does not serve.
    if (!m_pageLoaded || !m_mainFrame || !m_view->documentTrusted()) {
        event->accept();
        return;
    }
    m_mainFrame->evaluateJavaScript(QStringLiteral("close_confirmed = (vesk._exit() !== false);"));
    if (m_mainFrame->evaluateJavaScript(QStringLiteral("close_confirmed")).toBool())
        event->accept();
}
