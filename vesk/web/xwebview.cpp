#include "web/xwebview.h"

#include "web/xcookiejar.h"
#include "web/xwebpage.h"
#include "web/xwebpluginfactory.h"
#include "web/xwebsettings.h"

#include <QDropEvent>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QWebElement>
#include <QWebFrame>
#include <QWebHitTestResult>

#include <algorithm>

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

namespace {

bool hasLocalFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl &url) { return url.isLocalFile(); });
}

// The file input itself, or a part of it (its button).
bool isFileInput(QWebElement element)
{
    for (int depth = 0; !element.isNull() && depth < 4; ++depth, element = element.parent()) {
        if (element.tagName().compare(QLatin1String("input"), Qt::CaseInsensitive) == 0)
            return element.attribute(QStringLiteral("type")).compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
    }
    return false;
}

} // namespace

bool XWebView::takesDrop(const QDropEvent *event) const
{
    if (!m_fileDropHandler || !hasLocalFile(event->mimeData()))
        return false;
    // A drop onto a file input fills the input, as the engine does it.
    return !isFileInput(m_page->mainFrame()->hitTestContent(event->pos()).element());
}

void XWebView::takeDragFromEngine()
{
    if (!m_engineHasDrag)
        return;
    m_engineHasDrag = false;
    QDragLeaveEvent leave;
    QWebView::dragLeaveEvent(&leave);
}

void XWebView::dragEnterEvent(QDragEnterEvent *event)
{
    m_engineHasDrag = false;
    if (!takesDrop(event)) {
        m_engineHasDrag = true;
        return QWebView::dragEnterEvent(event);
    }
    event->acceptProposedAction();
}

void XWebView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!takesDrop(event)) {
        m_engineHasDrag = true;
        return QWebView::dragMoveEvent(event);
    }
    takeDragFromEngine();
    event->acceptProposedAction();
}

void XWebView::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_engineHasDrag = false;
    QWebView::dragLeaveEvent(event);
}

void XWebView::dropEvent(QDropEvent *event)
{
    if (!takesDrop(event)) {
        m_engineHasDrag = false;
        return QWebView::dropEvent(event);
    }
    takeDragFromEngine();
    event->acceptProposedAction();
    QStringList paths;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (paths.size() == MaxDroppedFiles)
            break;
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    // The handler may clear itself, and with it what it captured: call a copy.
    const FileDropHandler handler = m_fileDropHandler;
    handler(paths);
}
