#include "api/xjavascriptapi.h"

#include "core/xthumbnailer.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

#include "xjsliteral.h"

void XJavaScriptAPI::_thumbnail(const QString &src, int maxSide, const QString &onDone, const QString &onError)
{
    if (!m_thumbnailer) {
        // The application's own cache folder: thumbnails can always be made again.
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        m_thumbnailer = new XThumbnailer(QDir(cache).filePath(QStringLiteral("thumbnails")), this);
    }
    m_thumbnailer->request(src, maxSide, [this, onDone, onError](const XThumbnailer::Result &result) {
        if (result.failure == XThumbnailer::NoFailure) {
            if (!onDone.isEmpty())
                callBack(XJsLiteral::call(onDone, {QUrl::fromLocalFile(result.file).toString()}));
            return;
        }
        if (onError.isEmpty())
            return;
        QVariantMap error;
        error.insert(QStringLiteral("error_code"), int(result.failure));
        error.insert(QStringLiteral("error_text"), result.error);
        callBack(XJsLiteral::call(onError, {error}));
    });
}
