#include "platform/xplatform.h"

// What is the same on every system.

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

QString XPlatform::installedPluginDirectory()
{
    // Relative to the binary, so an installed tree can be moved as a whole.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(VESK_PLUGINDIR_FROM_BINDIR));
}

QString XPlatform::registryDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vesk/registry");
}

void XPlatform::startDetached(const QString &command)
{
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty())
        return;
    const QString program = parts.takeFirst();
    QProcess::startDetached(program, parts);
}
