#include "xplatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

QString XPlatform::documentsDirectory()
{
#ifdef Q_OS_WIN
    QSettings shell(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Microsoft"),
                    QStringLiteral("Windows"));
    return shell.value(QStringLiteral("CurrentVersion/Explorer/Shell Folders/Personal")).toString();
#else
    // Pages save there by default; an empty answer would make them write into the working directory.
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#endif
}

void XPlatform::exploreDirectory(const QString &path)
{
#ifdef Q_OS_WIN
    QProcess::startDetached(QStringLiteral("explorer"), {path});
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
#endif
}

void XPlatform::runShell(const QString &command)
{
#ifdef Q_OS_WIN
    _wsystem(reinterpret_cast<const wchar_t *>(command.utf16()));
#else
    QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
#endif
}

void XPlatform::startDetached(const QString &command)
{
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty())
        return;
    const QString program = parts.takeFirst();
    QProcess::startDetached(program, parts);
}

QString XPlatform::volumePath(const QString &disk)
{
    if (disk.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    return disk.left(1) + QStringLiteral(":\\");
#else
    static const QRegularExpression driveForm(QStringLiteral("^[A-Za-z](:([\\\\/].*)?)?$"),
                                              QRegularExpression::DotMatchesEverythingOption);
    if (driveForm.match(disk).hasMatch())
        return QStringLiteral("/");
    return QFileInfo::exists(disk) ? disk : QString();
#endif
}

qint64 XPlatform::space(const QString &disk, Space which)
{
    const QString path = volumePath(disk);
    if (path.isEmpty())
        return -1;
#ifdef Q_OS_WIN
    ULARGE_INTEGER available, total;
    if (!GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t *>(path.utf16()), &available, &total, nullptr))
        return -1;
    return qint64(which == FreeSpace ? available.QuadPart : total.QuadPart);
#else
    const QStorageInfo storage(path);
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return which == FreeSpace ? storage.bytesAvailable() : storage.bytesTotal();
#endif
}

bool XPlatform::canList(const QString &dir)
{
#ifdef Q_OS_WIN
    return QFileInfo(dir).isReadable();
#else
    DIR *handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle)
        return false;
    ::closedir(handle);
    return true;
#endif
}

bool XPlatform::copyLink(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return QFile::link(QFileInfo(from).symLinkTarget(), to);
#else
    // The link's own text, so relative links stay relative to the copy.
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(from).constData(), target.data(), size_t(target.size()));
    if (n < 0 || n >= target.size())
        return false;
    target.truncate(int(n));
    return ::symlink(target.constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

bool XPlatform::copyFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return !QFileInfo::exists(to) && QFile::copy(from, to);
#else
    // Straight system calls: a tree copy of many small files is dominated by per-file overhead.
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    const QByteArray target = QFile::encodeName(to);
    const int out = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (!ok)
        ::unlink(target.constData());
    return ok;
#endif
}

bool XPlatform::isFunctionOf(const void *symbol, const QString &libraryFile)
{
    if (!symbol)
        return false;
#ifdef Q_OS_WIN
    // GetProcAddress looks only at the module's own exports.
    Q_UNUSED(libraryFile);
    return true;
#else
    Dl_info info;
    void *extra = nullptr;
    if (!dladdr1(symbol, &info, &extra, RTLD_DL_SYMENT) || !info.dli_fname || !extra)
        return false;
    const auto *entry = static_cast<const ElfW(Sym) *>(extra);
    // Data has addresses too; only code may be called.
    const int type = ELF64_ST_TYPE(entry->st_info);
    if (type != STT_FUNC && type != STT_GNU_IFUNC)
        return false;
    // The loader names an object as it was opened; the file may be gone since.
    const QString owner = QFile::decodeName(info.dli_fname);
    if (owner == libraryFile)
        return true;
    const QString canonical = QFileInfo(owner).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(libraryFile).canonicalFilePath();
#endif
}

bool XPlatform::openRegular(QFile *file, const QString &path, QIODevice::OpenMode mode)
{
#ifdef Q_OS_WIN
    file->setFileName(path);
    return file->open(mode);
#else
    const bool writes = mode & (QIODevice::WriteOnly | QIODevice::Append);
    int flags = O_CLOEXEC | O_NONBLOCK;
    if ((mode & QIODevice::ReadWrite) == QIODevice::ReadWrite)
        flags |= O_RDWR;
    else
        flags |= writes ? O_WRONLY : O_RDONLY;
    if (writes)
        flags |= O_CREAT;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    else if (mode & QIODevice::Truncate)
        flags |= O_TRUNC;
    // O_NONBLOCK: a FIFO without a peer fails or opens at once instead of waiting
    // for one; fstat on the open descriptor then decides, with no window for a swap.
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    if (!file->open(fd, mode & ~QIODevice::Truncate, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#endif
}
