#include "xplatform.h"

#include <QCoreApplication>
#include <QDir>

QString XPlatform::applicationDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".\\app");
#else
    return QStringLiteral("app");
#endif
}

QString XPlatform::librarySuffix()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".dll");
#else
    return QStringLiteral(".so");
#endif
}

QString XPlatform::installedPluginDirectory()
{
    // Relative to the binary, so an installed tree can be moved as a whole.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(VESK_PLUGINDIR_FROM_BINDIR));
}
