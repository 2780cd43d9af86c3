#include "core/xthumbnailer.h"

#include "platform/xplatform.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <vector>

// Decoding is refused above these sizes before a byte of pixels is read: a
// small file can declare a huge image. JPEG decodes at a reduced scale, so it
// may be far larger than formats that are decoded whole and scaled afterwards.
static const qint64 kMaxJpegPixels = 200LL * 1000 * 1000;
static const qint64 kMaxOtherPixels = 50LL * 1000 * 1000;
static const int kQuality = 85;

XThumbnailer::XThumbnailer(const QString &cacheDir, QObject *parent)
    : QObject(parent)
    , m_cacheDir(cacheDir)
{
}

XThumbnailer::~XThumbnailer()
{
    m_pool.clear();
    m_pool.waitForDone();
}

QString XThumbnailer::cacheName(const QFileInfo &source, int maxSide)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(source.absoluteFilePath().toUtf8());
    hash.addData(QByteArray::number(source.size()) + '/' + QByteArray::number(source.lastModified().toMSecsSinceEpoch())
                 + '/' + QByteArray::number(maxSide));
    return QString::fromLatin1(hash.result().toHex()) + QStringLiteral(".jpg");
}

static XThumbnailer::Result failed(XThumbnailer::Failure failure, const QString &text)
{
    XThumbnailer::Result result;
    result.failure = failure;
    result.error = text;
    return result;
}

XThumbnailer::Result XThumbnailer::make(const QString &cacheDir, const QString &source, int maxSide)
{
    if (maxSide < 1 || maxSide > MaxSide)
        return failed(BadSize, QStringLiteral("maxSide must be from 1 to %1").arg(MaxSide));
    const QString path = source.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) ? QUrl(source).toLocalFile()
                                                                                        : source;
    if (path.isEmpty())
        return failed(NotAFile, QStringLiteral("no file was named"));
    // Links are followed, so the cache knows a photo by its real path.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return failed(NotAFile, QStringLiteral("the file does not exist: %1").arg(path));
    const QFileInfo info(real);
    // A FIFO or a device would block the reader or never end.
    if (!info.isFile())
        return failed(NotAFile, QStringLiteral("not a regular file: %1").arg(path));

    Result result;
    result.file = QDir(cacheDir).filePath(cacheName(info, maxSide));
    if (QFileInfo(result.file).size() > 0) {
        // Marked as used, so cutting the cache back removes the copies nobody asked for lately.
        QFile hit(result.file);
        if (hit.open(QIODevice::ReadOnly))
            hit.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
        return result;
    }

    // Checked again on the open file: a FIFO put in its place meanwhile must not block a worker.
    QFile file;
    if (!XPlatform::openRegular(&file, real, QIODevice::ReadOnly))
        return failed(NotAFile, QStringLiteral("the file cannot be read or is not a regular file: %1").arg(path));
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return failed(NotAnImage, QStringLiteral("not an image that can be read: %1").arg(path));
    const bool jpeg = reader.format() == "jpeg";
    if (qint64(size.width()) * size.height() > (jpeg ? kMaxJpegPixels : kMaxOtherPixels))
        return failed(TooLarge, QStringLiteral("the image is too large to decode (%1 x %2)")
                                    .arg(size.width())
                                    .arg(size.height()));
    // The scale applies before the orientation turns the image, so the longer
    // side ends at maxSide either way. Photos are never made larger.
    if (qMax(size.width(), size.height()) > maxSide) {
        QSize scaled = size.scaled(maxSide, maxSide, Qt::KeepAspectRatio);
        reader.setScaledSize(scaled.expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    if (image.isNull())
        return failed(NotAnImage, QStringLiteral("the image cannot be decoded: %1").arg(reader.errorString()));
    if (image.hasAlphaChannel()) {
        // JPEG has no transparency: what was see-through shows as white, not black.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }

    if (!QDir().mkpath(cacheDir))
        return failed(CacheFailed, QStringLiteral("the thumbnail folder cannot be made: %1").arg(cacheDir));
    // Written under another name and renamed, so a reader never sees half a file.
    QSaveFile out(result.file);
    if (!out.open(QIODevice::WriteOnly))
        return failed(CacheFailed, QStringLiteral("the thumbnail cannot be written: %1").arg(out.errorString()));
    QImageWriter writer(&out, "jpeg");
    writer.setQuality(kQuality);
    if (!writer.write(image) || !out.commit())
        return failed(CacheFailed, QStringLiteral("the thumbnail cannot be written: %1")
                                       .arg(writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                                          : out.errorString()));
    return result;
}

void XThumbnailer::request(const QString &source, int maxSide, const Done &done)
{
    const QString cacheDir = m_cacheDir;
    if (m_waiting >= MaxWaiting) {
        const Result busy =
            failed(Busy, QStringLiteral("too many thumbnails are waiting (%1); ask again later").arg(MaxWaiting));
        QMetaObject::invokeMethod(this, [done, busy]() { done(busy); }, Qt::QueuedConnection);
        return;
    }
    if (!m_trimmed) {
        m_trimmed = true;
        m_pool.start([cacheDir]() { trim(cacheDir, CacheLimit, CacheLimit / 4 * 3); });
    }
    ++m_waiting;
    m_pool.start([this, cacheDir, source, maxSide, done]() {
        const Result result = make(cacheDir, source, maxSide);
        // Posted to this object: when it is gone first, the answer goes with it.
        QMetaObject::invokeMethod(this, [this, done, result]() {
            --m_waiting;
            done(result);
        }, Qt::QueuedConnection);
    });
}

qint64 XThumbnailer::trim(const QString &cacheDir, qint64 limit, qint64 keep)
{
    struct Entry {
        qint64 time;
        qint64 size;
        QString path;
    };
    std::vector<Entry> entries;
    qint64 total = 0;
    // Copies made or answered from now on may already be shown by a page.
    const qint64 started = QDateTime::currentMSecsSinceEpoch() - 1000;
    // Only the copies this class names; anything else in the folder is left alone.
    QDirIterator it(cacheDir, {QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.completeBaseName().size() != 40)
            continue;
        entries.push_back({info.lastModified().toMSecsSinceEpoch(), info.size(), info.filePath()});
        total += info.size();
    }
    if (total <= limit)
        return total;
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.time < b.time; });
    for (const Entry &entry : entries) {
        if (total <= keep || entry.time >= started)
            break;
        if (QFile::remove(entry.path))
            total -= entry.size;
    }
    return total;
}
