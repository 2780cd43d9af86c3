#include "platform/xplatform.h"

// Windows: kept compiling in principle, with the Windows conventions.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#include <windows.h>

QString XPlatform::applicationDirectory()
{
    return QStringLiteral(".\\app");
}

QString XPlatform::librarySuffix()
{
    return QStringLiteral(".dll");
}

std::unique_ptr<QSettings> XPlatform::openRegistry(const QString &path)
{
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::NativeFormat);
}

QString XPlatform::documentsDirectory()
{
    QSettings shell(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Microsoft"),
                    QStringLiteral("Windows"));
    return shell.value(QStringLiteral("CurrentVersion/Explorer/Shell Folders/Personal")).toString();
}

void XPlatform::exploreDirectory(const QString &path)
{
    QProcess::startDetached(QStringLiteral("explorer"), {path});
}

void XPlatform::runShell(const QString &command)
{
    _wsystem(reinterpret_cast<const wchar_t *>(command.utf16()));
}

QString XPlatform::volumePath(const QString &disk)
{
    if (disk.isEmpty())
        return QString();
    return disk.left(1) + QStringLiteral(":\\");
}

qint64 XPlatform::space(const QString &disk, Space which)
{
    const QString path = volumePath(disk);
    if (path.isEmpty())
        return -1;
    ULARGE_INTEGER available, total;
    if (!GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t *>(path.utf16()), &available, &total, nullptr))
        return -1;
    return qint64(which == FreeSpace ? available.QuadPart : total.QuadPart);
}

bool XPlatform::canList(const QString &dir)
{
    return QFileInfo(dir).isReadable();
}

bool XPlatform::copyLink(const QString &from, const QString &to)
{
    return QFile::link(QFileInfo(from).symLinkTarget(), to);
}

bool XPlatform::copyFile(const QString &from, const QString &to)
{
    return !QFileInfo::exists(to) && QFile::copy(from, to);
}

bool XPlatform::isFunctionOf(const void *symbol, const QString &libraryFile)
{
    if (!symbol)
        return false;
    // GetProcAddress looks only at the module's own exports.
    Q_UNUSED(libraryFile);
    return true;
}

bool XPlatform::openRegular(QFile *file, const QString &path, QIODevice::OpenMode mode)
{
    file->setFileName(path);
    return file->open(mode);
}

bool XPlatform::startWriteback(QFileDevice *file, qint64 from, qint64 length)
{
    Q_UNUSED(file)
    Q_UNUSED(from)
    Q_UNUSED(length)
    return false;
}
