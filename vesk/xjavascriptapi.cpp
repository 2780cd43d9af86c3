#include "xjavascriptapi.h"

#include "xpagebinding.h"
#include "xwebview.h"
#include "xwebwindow.h"

#include <QFile>
#include <QMessageBox>
#include <QWebFrame>

XJavaScriptAPI::XJavaScriptAPI(XPageBinding *binding)
    : QObject(binding)
    , m_binding(binding)
{
    m_windows.insert(0, binding->window());
}

XJavaScriptAPI::~XJavaScriptAPI()
{
    for (const QString &path : qAsConst(m_tempFiles))
        QFile::remove(path);
}

QWebFrame *XJavaScriptAPI::frame() const
{
    return m_binding->frame();
}

void XJavaScriptAPI::callBack(const QString &script)
{
    m_binding->evaluateTrusted(script);
}

XWebWindow *XJavaScriptAPI::window() const
{
    return m_binding->window();
}

QWidget *XJavaScriptAPI::owner() const
{
    return m_binding->ownerWidget();
}

XWebView *XJavaScriptAPI::view() const
{
    return m_binding->view();
}

XWebWindow *XJavaScriptAPI::activeWindow() const
{
    return m_windows.value(m_activeWindowId);
}

QWebFrame *XJavaScriptAPI::childFrame(const QString &name) const
{
    const auto children = frame()->childFrames();
    for (QWebFrame *child : children) {
        if (child->frameName() == name)
            return child;
    }
    return nullptr;
}

void XJavaScriptAPI::showInfo(const QString &text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Info"), text, QMessageBox::Ok, owner()->window());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
