#include "api/xjavascriptapi.h"

#include "web/xwebview.h"
#include "xjsliteral.h"

#include <QPointer>
#include <QWebFrame>

void XJavaScriptAPI::onFilesDropped(const QString &callback)
{
    XWebView *target = view();
    if (!target)
        return;
    disconnect(m_dropReset);
    if (callback.isEmpty()) {
        target->setFileDropHandler({});
        return;
    }
    // The next document registers for itself, or its drops are the engine's.
    m_dropReset = connect(frame(), &QWebFrame::javaScriptWindowObjectCleared, this, [this] {
        disconnect(m_dropReset);
        if (XWebView *v = view())
            v->setFileDropHandler({});
    });
    QPointer<XJavaScriptAPI> self(this);
    target->setFileDropHandler([self, callback](const QStringList &paths) {
        if (self)
            self->callBack(XJsLiteral::call(callback, {paths}));
    });
}
