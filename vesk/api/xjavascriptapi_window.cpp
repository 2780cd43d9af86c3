#include "api/xjavascriptapi.h"

#include "core/xgeometry.h"
#include "page/xpagebinding.h"
#include "web/xwebpage.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QWebElement>
#include <QWebFrame>
#include <QWebSettings>

int XJavaScriptAPI::setActiveWindow(int window)
{
    m_activeWindowId = window;
    return window;
}

int XJavaScriptAPI::newTopWindow(const QString &url, const QString &name)
{
    // A window of its own: it lives until it is closed.
    auto *window = new XWebWindow(nullptr, XWebWindow::Modal);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    const int id = m_windows.add(window);
    if (!name.isEmpty()) {
        m_namedWindows.insert(name, window);
        // callWindow and getWindow find it from this page's later documents too.
        m_binding->publishAlways(window->objectName(), window->binding()->apiObject());
    }
    if (!url.isEmpty())
        window->load(url);
    return id;
}

void XJavaScriptAPI::alert(const QStringList &list)
{
    showInfo(list.join(QString()));
}

void XJavaScriptAPI::alert(const QString &string)
{
    showInfo(string);
}

void XJavaScriptAPI::load(const QString &)
{
}

void XJavaScriptAPI::setWindowTitle(const QString &title)
{
    if (XWebWindow *w = activeWindow())
        w->setWindowTitle(title);
}

QString XJavaScriptAPI::getWindowTitle()
{
    XWebWindow *w = activeWindow();
    return w ? w->windowTitle() : QString(QLatin1String(""));
}

void XJavaScriptAPI::setWindowMaximized(bool maximized)
{
    if (XWebWindow *w = activeWindow())
        maximized ? w->showMaximized() : w->showNormal();
}

void XJavaScriptAPI::setWindowMinimized(bool minimized)
{
    XWebWindow *w = activeWindow();
    if (!w)
        return;
    if (minimized) {
        m_wasMaximized = w->isMaximized();
        w->showMinimized();
    } else {
        m_wasMaximized ? w->showMaximized() : w->showNormal();
    }
}

void XJavaScriptAPI::showWindow()
{
    if (XWebWindow *w = activeWindow())
        w->show();
}

void XJavaScriptAPI::hideWindow()
{
    if (XWebWindow *w = activeWindow())
        w->hide();
}

void XJavaScriptAPI::closeWindow()
{
    if (XWebWindow *w = activeWindow())
        w->close();
}

void XJavaScriptAPI::setWindowWidth(int width)
{
    if (XWebWindow *w = activeWindow())
        w->resize(width, w->height());
}

void XJavaScriptAPI::setWindowHeight(int height)
{
    if (XWebWindow *w = activeWindow())
        w->resize(w->width(), height);
}

void XJavaScriptAPI::setWindowSize(int width, int height)
{
    if (XWebWindow *w = activeWindow())
        w->resize(width, height);
}

void XJavaScriptAPI::setWindowIcon(const QString &file)
{
    if (XWebWindow *w = activeWindow())
        w->setWindowIcon(QIcon(file));
}

void XJavaScriptAPI::setWindowModal(bool modal)
{
    if (XWebWindow *w = activeWindow())
        w->setWindowModality(modal ? Qt::WindowModal : Qt::NonModal);
}

void XJavaScriptAPI::setWindowPosition(int x, int y)
{
    if (XWebWindow *w = activeWindow())
        w->move(x, y);
}

int XJavaScriptAPI::getWindowPositionX()
{
    XWebWindow *w = activeWindow();
    return w ? w->x() : 0;
}

int XJavaScriptAPI::getWindowPositionY()
{
    XWebWindow *w = activeWindow();
    return w ? w->y() : 0;
}

int XJavaScriptAPI::getWindowWidth()
{
    XWebWindow *w = activeWindow();
    return w ? w->width() : 0;
}

int XJavaScriptAPI::getWindowHeight()
{
    XWebWindow *w = activeWindow();
    return w ? w->height() : 0;
}

bool XJavaScriptAPI::isWindowModal()
{
    XWebWindow *w = activeWindow();
    return w && w->isModal();
}

bool XJavaScriptAPI::isWindowMaximized()
{
    XWebWindow *w = activeWindow();
    return w && w->isMaximized();
}

bool XJavaScriptAPI::isWindowMinimized()
{
    XWebWindow *w = activeWindow();
    return w && w->isMinimized();
}

void XJavaScriptAPI::centerWindowPosition(bool vertically, bool horizontally)
{
    XWebWindow *w = activeWindow();
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!w || !screen || (!vertically && !horizontally))
        return;
    const QRect frame(w->pos(), w->size());
    w->move(XGeometry::centred(QRect(QPoint(0, 0), screen->geometry().size()), frame, vertically, horizontally));
}

void XJavaScriptAPI::centerWindowPositionAccordingParent(bool vertically, bool horizontally)
{
    XWebWindow *w = activeWindow();
    if (!w || (!vertically && !horizontally))
        return;
    QWidget *parent = w->parentWidget();
    if (!parent) {
        // A top-level window has nothing above it but the screen.
        centerWindowPosition(vertically, horizontally);
        return;
    }
    const QRect area(parent->pos(), parent->size());
    w->move(XGeometry::centred(area, QRect(w->pos(), w->size()), vertically, horizontally));
}

void XJavaScriptAPI::setLocalOnly()
{
    view()->wireLocalOnly();
    view()->xpage()->setLocalOnly();
}

void XJavaScriptAPI::iframeFakeTop(const QString &id)
{
    if (QWebFrame *child = childFrame(id)) {
        child->setParent(nullptr);
        child->page()->settings()->setAttribute(QWebSettings::AutoLoadImages, true);
    }
}

void XJavaScriptAPI::iframeAutoloadImages(const QString &id, bool enabled)
{
    if (QWebFrame *child = childFrame(id))
        child->page()->settings()->setAttribute(QWebSettings::AutoLoadImages, enabled);
}

void XJavaScriptAPI::render()
{
    owner()->update();
}

void XJavaScriptAPI::reload()
{
    if (XWebWindow *w = activeWindow())
        w->view()->reload();
}

void XJavaScriptAPI::_setOpeningWindowProperties(const QString &title, int width, int height)
{
    m_binding->setOpeningProperties(title, width, height);
}

void XJavaScriptAPI::selectInputFile(const QString &query, const QString &file, const QString &iframe)
{
    XWebView *view = this->view();
    QWebFrame *frame = iframe.isEmpty() ? this->frame() : childFrame(iframe);
    const QWebElement element = frame ? frame->findFirstElement(query) : QWebElement();
    showInfo(element.isNull() ? QStringLiteral("nenalezen!") : QStringLiteral("existuje!"));
    if (!frame)
        return;
    frame->setScrollPosition(element.geometry().center());
    view->xpage()->setPresetFile(file);
    if (element.isNull())
        return;
    QWebElement target = element;
    // The key goes to the page's focused frame, which must be the element's.
    frame->setFocus();
    target.setFocus();
    QKeyEvent *press = new QKeyEvent(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier, QString());
    QCoreApplication::postEvent(view->page(), press);
}

void XJavaScriptAPI::setWindowType(int type)
{
    m_style.type = type;
    m_style.defaultCaption = true;
    applyStyle();
}

void XJavaScriptAPI::setWindowTypeWindow()
{
    setWindowType(XWindowStyle::Window);
}
void XJavaScriptAPI::setWindowTypeDialog()
{
    setWindowType(XWindowStyle::Dialog);
}
void XJavaScriptAPI::setWindowTypePopup()
{
    setWindowType(XWindowStyle::Popup);
}
void XJavaScriptAPI::setWindowTypeTool()
{
    setWindowType(XWindowStyle::Tool);
}
void XJavaScriptAPI::setWindowTypeSplashScreen()
{
    setWindowType(XWindowStyle::SplashScreen);
}

void XJavaScriptAPI::setWindowHintFrameless(bool is)
{
    m_style.frameless = is;
    applyStyle();
}

void XJavaScriptAPI::setWindowHintShowCaption(bool show, bool isMinimize, bool isMaximize, bool isClose, bool isHelp)
{
    m_style.showTitle = show;
    m_style.minimizeButton = isMinimize;
    m_style.maximizeButton = isMaximize;
    m_style.closeButton = isClose;
    m_style.helpButton = isHelp;
    m_style.defaultCaption = false;
    applyStyle();
}

void XJavaScriptAPI::setWindowHintOnTop(bool is)
{
    m_style.stayOnTop = is;
    applyStyle();
}

void XJavaScriptAPI::applyStyle()
{
    XWebWindow *w = activeWindow();
    if (!w)
        return;
    w->hide();
    w->setWindowFlags(m_style.flags());
    w->show();
}
