#include "xplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

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
QString XPlatform::registryDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vesk/registry");
}

std::unique_ptr<QSettings> XPlatform::openRegistry(const QString &path)
{
#ifdef Q_OS_WIN
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::NativeFormat);
#else
    const QStringList elements = path.split(QLatin1Char('\\'));
    for (const QString &element : elements) {
        if (element.isEmpty() || element == QLatin1String(".") || element == QLatin1String(".."))
            return nullptr;
    }
    // The root element becomes a file name: nothing but a plain name may pass.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_-]*$"));
    if (!plainName.match(elements.first()).hasMatch())
        return nullptr;
    auto settings = std::make_unique<QSettings>(
        registryDirectory() + QLatin1Char('/') + elements.first() + QStringLiteral(".ini"), QSettings::IniFormat);
    if (elements.size() > 1)
        settings->beginGroup(elements.mid(1).join(QLatin1Char('/')));
    return settings;
#endif
}
