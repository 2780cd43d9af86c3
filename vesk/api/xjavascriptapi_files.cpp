#include "api/xjavascriptapi.h"

#include "core/xbyteform.h"
#include "core/xdirtree.h"
#include "core/xfileio.h"
#include "core/xfilemode.h"
#include "platform/xplatform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QString firstLocation(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::standardLocations(location).value(0);
}

QString startDirectory(const QString &path)
{
    return path.isEmpty() ? QDir::currentPath() : path;
}

qint64 secondsOf(const QDateTime &moment)
{
    return moment.isValid() ? moment.toSecsSinceEpoch() : -1;
}

} // namespace

QString XJavaScriptAPI::openFile(const QString &title, const QString &fileTypes, const QString &path)
{
    return QFileDialog::getOpenFileName(owner(), title, startDirectory(path), fileTypes);
}

QStringList XJavaScriptAPI::openFiles(const QString &title, const QString &fileTypes, const QString &path)
{
    return QFileDialog::getOpenFileNames(owner(), title, startDirectory(path), fileTypes);
}

QString XJavaScriptAPI::openNewFile(const QString &title, const QString &fileTypes, const QString &path)
{
    return QFileDialog::getSaveFileName(owner(), title, startDirectory(path), fileTypes);
}

QString XJavaScriptAPI::openDir(const QString &title, const QString &path)
{
    return QFileDialog::getExistingDirectory(owner(), title, startDirectory(path));
}

QString XJavaScriptAPI::getDirTemp()
{
    return QDir::tempPath();
}

QString XJavaScriptAPI::getDirHome()
{
    return QDir::homePath();
}

QString XJavaScriptAPI::getDirDocuments()
{
    return XPlatform::documentsDirectory();
}

QString XJavaScriptAPI::getDirAppData()
{
    return firstLocation(QStandardPaths::AppDataLocation);
}

QString XJavaScriptAPI::getDirCurrent()
{
    return QDir::currentPath();
}

QString XJavaScriptAPI::getDirDesktop()
{
    return firstLocation(QStandardPaths::DesktopLocation);
}

QString XJavaScriptAPI::getDirDownload()
{
    return firstLocation(QStandardPaths::DownloadLocation);
}

QString XJavaScriptAPI::getDirFonts()
{
    return firstLocation(QStandardPaths::FontsLocation);
}

QString XJavaScriptAPI::getDirMovies()
{
    return firstLocation(QStandardPaths::MoviesLocation);
}

QString XJavaScriptAPI::getDirMusic()
{
    return firstLocation(QStandardPaths::MusicLocation);
}

QString XJavaScriptAPI::getDirPictures()
{
    return firstLocation(QStandardPaths::PicturesLocation);
}

void XJavaScriptAPI::setAppName(const QString &name)
{
    QCoreApplication::setApplicationName(name);
}

QString XJavaScriptAPI::tempFile(const QString &append)
{
    // Only the name is kept, and the file removed when this object goes: a
    // temporary file object holds its descriptor even when closed, and a page
    // making thousands would run the process out of them.
    QTemporaryFile file;
    if (!append.isEmpty())
        file.setFileTemplate(QDir::tempPath() + QStringLiteral("/tmp.XXXXXX.vesk") + append);
    if (!file.open())
        return QString();
    file.setAutoRemove(false);
    m_tempFiles.append(file.fileName());
    return m_tempFiles.last();
}

QFile *XJavaScriptAPI::openFileOf(int fileId) const
{
    QFile *file = m_openFiles.value(fileId);
    return file && file->isOpen() ? file : nullptr;
}

int XJavaScriptAPI::fopen(const QString &file, const QString &mode)
{
    QIODevice::OpenMode openMode;
    if (!XFileMode::toOpenMode(mode, &openMode))
        return 0;
    // Writes go straight to the file, so each one knows how much of it landed.
    if (openMode & (QIODevice::WriteOnly | QIODevice::Append))
        openMode |= QIODevice::Unbuffered;
    auto *f = new QFile(this);
    if (!XPlatform::openRegular(f, file, openMode)) {
        delete f;
        return 0;
    }
    return m_openFiles.add(f);
}

void XJavaScriptAPI::fclose(int fileId)
{
    delete m_openFiles.value(fileId);
    m_openFiles.release(fileId);
}

QString XJavaScriptAPI::fileread(const QString &file)
{
    QString text;
    return XFileIO::readText(file, &text) ? text : QString();
}

bool XJavaScriptAPI::filewrite(const QString &file, const QString &content)
{
    return XFileIO::replace(file, XByteForm::toLatin1(content));
}

bool XJavaScriptAPI::fileappend(const QString &file, const QString &content)
{
    return XFileIO::append(file, XByteForm::toLatin1(content));
}

QString XJavaScriptAPI::fread(int fileId, int bytes)
{
    QFile *f = openFileOf(fileId);
    if (!f || bytes <= 0)
        return QString();
    return XByteForm::fromUtf8(XFileIO::read(f, bytes));
}

QString XJavaScriptAPI::fgets(int fileId, int bytes)
{
    QFile *f = openFileOf(fileId);
    if (!f || bytes < 0)
        return QString();
    return XByteForm::fromUtf8(XFileIO::readLine(f, bytes));
}

qint64 XJavaScriptAPI::fwrite(int fileId, const QString &data)
{
    QFile *f = openFileOf(fileId);
    return f ? XFileIO::write(f, XByteForm::toLatin1(data)) : -1;
}

qint64 XJavaScriptAPI::fwriteln(int fileId, const QString &data)
{
    QFile *f = openFileOf(fileId);
    return f ? XFileIO::write(f, XByteForm::toLatin1(data) + '\n') : -1;
}

bool XJavaScriptAPI::mkdir(const QString &dir, bool recursive)
{
    return recursive ? QDir().mkpath(dir) : QDir().mkdir(dir);
}

bool XJavaScriptAPI::mkfile(const QString &file)
{
    QFile f;
    return XPlatform::openRegular(&f, file, QIODevice::WriteOnly | QIODevice::Truncate);
}

bool XJavaScriptAPI::copy(const QString &src, const QString &dst)
{
    return XPlatform::copyFile(src, dst);
}

bool XJavaScriptAPI::rename(const QString &src, const QString &dst)
{
    return QFile::rename(src, dst);
}

bool XJavaScriptAPI::unlink(const QString &file)
{
    return QFile::remove(file);
}

bool XJavaScriptAPI::copydir(const QString &src, const QString &dst)
{
    return XDirTree::copy(src, dst);
}

bool XJavaScriptAPI::rmdir(const QString &dir)
{
    return XDirTree::remove(dir);
}

bool XJavaScriptAPI::fileExists(const QString &src)
{
    return QFileInfo::exists(src);
}

bool XJavaScriptAPI::dirExists(const QString &src)
{
    return QFileInfo(src).isDir();
}

qint64 XJavaScriptAPI::filesize(const QString &src)
{
    const QFileInfo info(src);
    return info.exists() ? info.size() : 0;
}

qint64 XJavaScriptAPI::filectime(const QString &src)
{
    const QFileInfo info(src);
    return info.exists() ? secondsOf(info.lastModified()) : -1;
}

qint64 XJavaScriptAPI::fileatime(const QString &src)
{
    const QFileInfo info(src);
    return info.exists() ? secondsOf(info.lastRead()) : -1;
}

QVariantMap XJavaScriptAPI::dirContent(const QString &path)
{
    return XDirTree::content(path);
}

void XJavaScriptAPI::exploreDir(const QString &path)
{
    XPlatform::exploreDirectory(path);
}
