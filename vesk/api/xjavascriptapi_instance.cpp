#include "api/xjavascriptapi.h"

#include "core/xsingleinstance.h"

#include <QWebFrame>

#include "xjsliteral.h"

bool XJavaScriptAPI::setSecondInstanceHandler(const QString &callback)
{
    m_secondInstanceHandler = callback;
    XSingleInstance *instance = XSingleInstance::listening();
    if (!instance)
        return false;
    if (m_secondInstanceWired)
        return true;
    m_secondInstanceWired = true;
    connect(instance, &XSingleInstance::secondInstance, this,
            [this](const QStringList &arguments, const QString &workdir) {
                if (m_secondInstanceHandler.isEmpty())
                    return;
                QVariantMap start;
                start.insert(QStringLiteral("arguments"), arguments);
                start.insert(QStringLiteral("workdir"), workdir);
                callBack(XJsLiteral::call(m_secondInstanceHandler, {start}));
            });
    // The name belongs to the page that gave it: the next document starts without one.
    connect(frame(), &QWebFrame::javaScriptWindowObjectCleared, this, [this] { m_secondInstanceHandler.clear(); });
    return true;
}
