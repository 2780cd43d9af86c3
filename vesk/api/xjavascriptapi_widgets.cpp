#include "api/xjavascriptapi.h"

#include "page/xpagebinding.h"
#include "web/xwebview.h"
#include "xjsliteral.h"

#include <QFileInfo>
#include <QWebFrame>
#include <QWebSettings>

int XJavaScriptAPI::createWidgetIframe(const QString &file, int w, int h, bool isTransparent)
{
    XWebView *host = view();
    auto *iframe = new XWebView(host);
    // Links keep working inside the widget; its documents get no native objects.
    new XPageBinding(iframe, nullptr, XPageBinding::BarePage, QString());
    if (isTransparent) {
        QPalette palette = iframe->palette();
        palette.setBrush(QPalette::Base, Qt::transparent);
        iframe->page()->setPalette(palette);
        iframe->setAttribute(Qt::WA_OpaquePaintEvent, false);
    }
    iframe->setFixedSize(w, h);
    iframe->hide();
    iframe->load(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));

    return host->addWidget(iframe);
}

void XJavaScriptAPI::switchWidget(int widgetId)
{
    view()->widgets().setCurrentId(widgetId);
}

void XJavaScriptAPI::_iframeLoaded(const QString &id, const QString &ptr)
{
    QWebFrame *child = childFrame(id);
    if (!child)
        return;
    child->setProperty("ptr", ptr);
    connect(child, &QWebFrame::loadFinished, this, &XJavaScriptAPI::onIframeLoaded);
}

void XJavaScriptAPI::onIframeLoaded(bool ok)
{
    auto *sent = qobject_cast<QWebFrame *>(sender());
    if (!sent)
        return;
    const QString callback = sent->property("ptr").toString();
    if (!callback.isEmpty())
        callBack(XJsLiteral::call(callback, {ok}));

    const auto children = frame()->childFrames();
    for (QWebFrame *child : children) {
        QPointer<QWebFrame> guard(child);
        child->page()->settings()->setAttribute(QWebSettings::AutoLoadImages, false);
        showInfo(QStringLiteral("child ") + child->url().toString());
        // The box runs an event loop, in which the frame may have gone.
        if (!guard)
            continue;
        connect(child, &QWebFrame::loadStarted, this, &XJavaScriptAPI::onIframeUrlChanged);
        connect(child, &QWebFrame::initialLayoutCompleted, this, &XJavaScriptAPI::onIframeUrlChanged);
        connect(child, &QWebFrame::javaScriptWindowObjectCleared, this, &XJavaScriptAPI::onIframeUrlChanged);
    }
}

void XJavaScriptAPI::onIframeUrlChanged()
{
    if (auto *sent = qobject_cast<QWebFrame *>(sender()))
        sent->evaluateJavaScript(QStringLiteral("window.parent=null;window.top=window.self;window.opener=null;"));
}
