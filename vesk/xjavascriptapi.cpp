#include "xjavascriptapi.h"

#include "xbridgescript.h"
#include "xwebview.h"
#include "xwebwindow.h"

#include <QMessageBox>
#include <QWebFrame>

XJavaScriptAPI::XJavaScriptAPI(QWidget *owner, XWebWindow *window, QWebFrame *frame, bool publish)
    : QObject(owner)
    , m_frame(frame)
    , m_owner(owner)
    , m_window(window)
{
    m_windows.insert(0, window);
    if (!publish)
        return;
    m_frame->addToJavaScriptWindowObject(QStringLiteral("app"), this);
    for (const QString &text : XBridgeScript::loadingIndicator())
        m_frame->evaluateJavaScript(text);
}

QWebFrame *XJavaScriptAPI::frame() const
{
    return m_frame;
}

XWebWindow *XJavaScriptAPI::window() const
{
    return m_window;
}

QWidget *XJavaScriptAPI::owner() const
{
    return m_owner;
}

XWebWindow *XJavaScriptAPI::activeWindow() const
{
    return m_windows.value(m_activeWindowId);
}

XWebView *XJavaScriptAPI::ownerView() const
{
    if (m_window && m_owner == m_window)
        return m_window->view();
    return qobject_cast<XWebView *>(m_owner.data());
}

QWebFrame *XJavaScriptAPI::childFrame(const QString &name) const
{
    XWebView *view = ownerView();
    if (!view)
        return nullptr;
    const auto children = view->page()->mainFrame()->childFrames();
    for (QWebFrame *child : children) {
        if (child->frameName() == name)
            return child;
    }
    return nullptr;
}

void XJavaScriptAPI::showInfo(const QString &text)
{
    QWidget *parent = m_owner ? m_owner->window() : nullptr;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Info"), text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
