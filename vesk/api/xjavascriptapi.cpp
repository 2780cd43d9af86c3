#include "api/xjavascriptapi.h"

#include "api/xhotcalls.h"
#include "api/xwidgetapi.h"
#include "page/xpagebinding.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QFile>
#include <QMessageBox>
#include <QWebFrame>

XJavaScriptAPI::XJavaScriptAPI(XPageBinding *binding)
    : QObject(binding)
    , m_binding(binding)
{
    m_windows.insert(0, qobject_cast<XWebWindow *>(binding->window()));
    binding->setAlertAction([this](const QStringList &arguments) { alert(arguments); });
}

void XJavaScriptAPI::serveBindings()
{
    XPageBinding::setObjectMaker([](XPageBinding *binding) {
        auto *api = new XJavaScriptAPI(binding);
        binding->setObjects(api, new XWidgetAPI(binding->view(), binding), new XHotCalls(api, binding));
    });
}

XJavaScriptAPI *XJavaScriptAPI::of(const XPageBinding *binding)
{
    return binding ? qobject_cast<XJavaScriptAPI *>(binding->apiObject()) : nullptr;
}

XJavaScriptAPI *XJavaScriptAPI::of(const XWebWindow *window)
{
    return window ? of(window->binding()) : nullptr;
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
    return qobject_cast<XWebWindow *>(m_binding->window());
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
