#include "platform/xplatform.h"

// Linux and other Unix systems: the side that is built and tested.

#include <QDesktopServices>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <cerrno>
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString XPlatform::applicationDirectory()
{
    return QStringLiteral("app");
}

QString XPlatform::librarySuffix()
{
    return QStringLiteral(".so");
}

std::unique_ptr<QSettings> XPlatform::openRegistry(const QString &path)
{
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
}

QString XPlatform::documentsDirectory()
{
    // Pages save there by default; an empty answer would make them write into the working directory.
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void XPlatform::exploreDirectory(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void XPlatform::runShell(const QString &command)
{
    QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
}

QString XPlatform::volumePath(const QString &disk)
{
    if (disk.isEmpty())
        return QString();
    static const QRegularExpression driveForm(QStringLiteral("^[A-Za-z](:([\\\\/].*)?)?$"),
                                              QRegularExpression::DotMatchesEverythingOption);
    if (driveForm.match(disk).hasMatch())
        return QStringLiteral("/");
    return QFileInfo::exists(disk) ? disk : QString();
}

qint64 XPlatform::space(const QString &disk, Space which)
{
    const QString path = volumePath(disk);
    if (path.isEmpty())
        return -1;
    const QStorageInfo storage(path);
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return which == FreeSpace ? storage.bytesAvailable() : storage.bytesTotal();
}

bool XPlatform::canList(const QString &dir)
{
    DIR *handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle)
        return false;
    ::closedir(handle);
    return true;
}

bool XPlatform::copyLink(const QString &from, const QString &to)
{
    // The link's own text, so relative links stay relative to the copy.
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(from).constData(), target.data(), size_t(target.size()));
    if (n < 0 || n >= target.size())
        return false;
    target.truncate(int(n));
    return ::symlink(target.constData(), QFile::encodeName(to).constData()) == 0;
}

bool XPlatform::copyFile(const QString &from, const QString &to)
{
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
}

bool XPlatform::isFunctionOf(const void *symbol, const QString &libraryFile)
{
    if (!symbol)
        return false;
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
}

bool XPlatform::openRegular(QFile *file, const QString &path, QIODevice::OpenMode mode)
{
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
}

bool XPlatform::startWriteback(QFileDevice *file, qint64 from, qint64 length)
{
#ifdef Q_OS_LINUX
    // What sits in the device's own buffer is not in the system's hands yet.
    if (!file || !file->isOpen() || file->handle() < 0 || !file->flush())
        return false;
    return ::sync_file_range(file->handle(), from, length, SYNC_FILE_RANGE_WRITE) == 0;
#else
    Q_UNUSED(file)
    Q_UNUSED(from)
    Q_UNUSED(length)
    return false;
#endif
}
