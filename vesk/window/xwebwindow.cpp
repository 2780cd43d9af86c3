#include "window/xwebwindow.h"

#include "core/xlauncherentry.h"
#include "core/xpagepath.h"
#include "page/xbridgescript.h"
#include "page/xpagebinding.h"
#include "platform/xplatform.h"
#include "web/xwebview.h"
#include "window/xaction.h"
#include "xjsliteral.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QUuid>
#include <QWebFrame>

XWebWindow::XWebWindow(XWebWindow *parentWindow, Modality modality)
    : QMainWindow(parentWindow)
    , m_applicationDirectory(XPlatform::applicationDirectory())
    , m_baseDirectory(XPlatform::applicationDirectory())
{
    if (modality == Modal) {
        setWindowFlags(Qt::Dialog);
        setWindowModality(Qt::WindowModal);
    } else {
        setWindowFlags(Qt::Window);
    }
    setObjectName(QStringLiteral("winobj") + QUuid::createUuid().toString(QUuid::Id128));

    m_view = new XWebView(this);
    m_view->setContentsMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_view);
    connect(m_view, &QWebView::loadFinished, this, [this](bool ok) {
        m_pageLoaded = m_pageLoaded || ok;
        m_loadHasFinished = true;
    });

    // A child window finds itself under its own name, and "app" points there.
    m_binding =
        new XPageBinding(m_view, this, XPageBinding::WindowPage, parentWindow ? objectName() : QStringLiteral("app"));
    m_binding->setCallAction([this](const QStringList &arguments) { m_libraries.call(arguments); });
    if (parentWindow) {
        parentWindow->binding()->publishOnce(objectName(), m_binding->apiObject());
        m_binding->publishOnce(XBridgeScript::parentObjectName(), parentWindow->binding()->apiObject());
    }
}

XWebWindow::~XWebWindow()
{
    // A closed window's progress would otherwise stay on the dock; the bus is
    // gone with the application object.
    if (m_taskbarState != 0 && QCoreApplication::instance()) {
        m_taskbarState = 0;
        publishTaskbarProgress();
    }
    // The view goes first, while the window it reports to is still whole.
    delete m_view;
}

QWebFrame *XWebWindow::mainFrame() const
{
    return m_view->page()->mainFrame();
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

void XWebWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    // Nobody to ask: no page ever loaded, or the document is one the native
    // side does not serve.
    if (!m_pageLoaded || !m_binding->documentTrusted()) {
        event->accept();
        emit closing();
        return;
    }
    QWebFrame *frame = mainFrame();
    frame->evaluateJavaScript(QStringLiteral("close_confirmed = (vesk._exit() !== false);"));
    if (frame->evaluateJavaScript(QStringLiteral("close_confirmed")).toBool()) {
        event->accept();
        emit closing();
    }
}

void XWebWindow::switchMenu(const QString &name)
{
    m_currentMenu = !name.isEmpty() && m_menus.value(name) ? name : QString();
}

QMenu *XWebWindow::menu(const QString &name) const
{
    return m_menus.value(name);
}

QAction *XWebWindow::menuAction(const QString &name) const
{
    return m_actions.value(name);
}

void XWebWindow::addMenu(const QString &name, const QString &text, const QString &icon)
{
    QMenu *current = m_menus.value(m_currentMenu);
    QMenu *created = nullptr;
    // A menu with an icon always goes to the bar.
    if (!icon.isEmpty())
        created = menuBar()->addMenu(QIcon(icon), text);
    else if (current)
        created = current->addMenu(text);
    else
        created = menuBar()->addMenu(text);
    m_menus.insert(name, created);
}

void XWebWindow::addMenuAction(const QString &name, const QString &text, const QString &onClick, const QString &icon,
                               const QString &shortcut)
{
    XAction *action = icon.isEmpty() ? new XAction(text, this) : new XAction(QIcon(icon), text, this);
    action->setOnClick(onClick);
    if (!shortcut.isEmpty())
        action->setShortcut(QKeySequence(shortcut, QKeySequence::PortableText));
    connect(action, &XAction::clickedx, this, &XWebWindow::menuTriggered);
    if (QMenu *current = m_menus.value(m_currentMenu))
        current->addAction(action);
    else
        menuBar()->addAction(action);
    m_actions.insert(name, action);
}

void XWebWindow::addMenuSeparator(const QString &name)
{
    // Made here rather than by the menu, so clearing the bar cannot delete it.
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    if (QMenu *current = m_menus.value(m_currentMenu))
        current->addAction(separator);
    else
        menuBar()->addAction(separator);
    m_actions.insert(name, separator);
}

void XWebWindow::removeMenuAction(const QString &name)
{
    if (QAction *action = m_actions.value(name))
        menuBar()->removeAction(action);
}

void XWebWindow::clearMenuBar()
{
    menuBar()->clear();
}

void XWebWindow::resetMenus()
{
    menuBar()->clear();
    for (const QPointer<QAction> &action : qAsConst(m_actions))
        delete action.data();
    // Submenus go with the menu that holds them; the QPointers see to it.
    for (const QPointer<QMenu> &menu : qAsConst(m_menus))
        delete menu.data();
    m_actions.clear();
    m_menus.clear();
    m_currentMenu.clear();
}

void XWebWindow::menuTriggered(const QByteArray &name)
{
    // The menu was built by a trusted page; a later untrusted one gets no calls.
    m_binding->evaluateTrusted(XJsLiteral::call(QString::fromUtf8(name)));
}

void XWebWindow::enableTaskbarProgress()
{
    m_taskbarHandle = winId();
}

void XWebWindow::setTaskbarProgressState(int state)
{
    m_taskbarState = state;
    publishTaskbarProgress();
}

void XWebWindow::setTaskbarProgressValue(int completed, int total)
{
    m_taskbarCompleted = completed;
    m_taskbarTotal = total;
    publishTaskbarProgress();
}

void XWebWindow::publishTaskbarProgress()
{
    // The application name is the manifest's id when it gives one.
    XLauncherEntry entry;
    entry.setDesktopFileId(XLauncherEntry::desktopFileId(QCoreApplication::applicationName()));
    entry.update(m_taskbarState, m_taskbarCompleted, m_taskbarTotal);
}
