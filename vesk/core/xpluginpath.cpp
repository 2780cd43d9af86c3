#include "core/xpluginpath.h"

#include "platform/xplatform.h"

#include <QDir>
#include <QFileInfo>

QStringList XPluginPath::candidates(const QString &path, const QString &currentDir, const QString &installedDir)
{
    if (path.isEmpty())
        return {};
    const QString suffix = XPlatform::librarySuffix();
    // Pages written for Windows may use either separator.
    QString name = path;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        name = name.left(name.size() - 4) + suffix;

    QStringList names;
    if (name.endsWith(suffix))
        names << name;
    else
        names << name + suffix << name;

    QStringList files;
    const bool relative = QDir::isRelativePath(name);
    for (const QString &n : qAsConst(names))
        files << (relative ? QDir::cleanPath(QDir(currentDir).absoluteFilePath(n)) : QDir::cleanPath(n));

    // Only "libs/NAME" reaches the installed plug-ins, never a path that climbs out.
    const QString clean = QDir::cleanPath(names.first());
    static const QString libs = QStringLiteral("libs/");
    if (relative && !installedDir.isEmpty() && clean.startsWith(libs)
        && clean.indexOf(QLatin1Char('/'), libs.size()) < 0 && clean.size() > libs.size() + suffix.size())
        files << QDir(installedDir).absoluteFilePath(clean.mid(libs.size()));
    return files;
}

QString XPluginPath::resolve(const QString &path, const QString &currentDir, const QString &installedDir)
{
    const QStringList files = candidates(path, currentDir, installedDir);
    for (const QString &file : files) {
        if (QFileInfo(file).isFile())
            return file;
    }
    return QString();
}
