#include "core/xpagepath.h"

#include <QFileInfo>

QString XPagePath::resolve(const QString &applicationDirectory, const QString &baseDirectory, const QString &file)
{
    if (file.startsWith(QLatin1Char('/')))
        return QFileInfo(applicationDirectory).absoluteFilePath() + file;
    return QFileInfo(baseDirectory).absoluteFilePath() + QLatin1Char('/') + file;
}

QUrl XPagePath::toUrl(const QString &applicationDirectory, const QString &baseDirectory, const QString &file)
{
    // fromLocalFile, not "file:///" + path: an absolute Unix path would get four slashes.
    return QUrl::fromLocalFile(resolve(applicationDirectory, baseDirectory, file));
}
