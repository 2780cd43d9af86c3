#include "api/xjavascriptapi.h"

#include "core/xcookierecord.h"
#include "core/xdownloader.h"
#include "web/xcookiejar.h"
#include "web/xwebview.h"

XDownloader *XJavaScriptAPI::downloader()
{
    // Made on first use: most pages never download.
    if (!m_downloader)
        m_downloader = new XDownloader([this](const QString &script) { callBack(script); }, this);
    return m_downloader;
}

void XJavaScriptAPI::_download(const QString &url, const QString &path, const QString &func_pointer,
                               const QString &func_pointer_err, const QString &func_progress,
                               const QVariant &options)
{
    downloader()->download(url, path, func_pointer, func_pointer_err, func_progress, options);
}

QVariantList XJavaScriptAPI::getAllCookies()
{
    return XCookieRecord::toRecords(view()->cookieJar()->allCookies());
}

void XJavaScriptAPI::setAllCookies(const QVariant &cookies)
{
    view()->cookieJar()->setAllCookies(XCookieRecord::fromRecords(cookies));
}
