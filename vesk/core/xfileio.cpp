#include "core/xfileio.h"

#include "core/xbyteform.h"
#include "platform/xplatform.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace {

const qint64 kFirstChunk = 64 * 1024;

} // namespace

bool XFileIO::readText(const QString &path, QString *text)
{
    QFile file;
    if (!XPlatform::openRegular(&file, path, QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const qint64 ceiling = XByteForm::kPageTextCeiling;
    const qint64 size = file.size();
    if (size > ceiling)
        return false;
    // Read once into one buffer; a spare byte shows a file that grew meanwhile
    // (files of /proc report no size at all).
    QByteArray bytes(int(qMax(size + 1, kFirstChunk)), Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        const qint64 n = file.read(bytes.data() + got, bytes.size() - got);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += n;
        if (got > ceiling)
            return false;
        if (got == bytes.size())
            bytes.resize(int(qMin(ceiling + 1, got * 2)));
    }
    const void *zero = std::memchr(bytes.constData(), 0, size_t(got));
    const qint64 length = zero ? static_cast<const char *>(zero) - bytes.constData() : got;
    *text = QString::fromUtf8(bytes.constData(), int(length));
    return true;
}

QByteArray XFileIO::read(QIODevice *device, qint64 bytes)
{
    const qint64 want = qMin(bytes, XByteForm::kPageTextCeiling);
    QByteArray out;
    qint64 got = 0;
    while (got < want) {
        // The buffer follows the data, so a count of two billion reserves nothing.
        const qint64 room = qMin(want, qMax(got * 2, qMax(kFirstChunk, device->bytesAvailable())));
        out.resize(int(room));
        const qint64 n = device->read(out.data() + got, room - got);
        if (n <= 0)
            break;
        got += n;
        if (got < room)
            break;
    }
    out.resize(int(got));
    return out;
}

QByteArray XFileIO::readLine(QIODevice *device, qint64 maxSize)
{
    const qint64 limit = maxSize > 0 ? qMin(maxSize - 1, XByteForm::kPageTextCeiling) : XByteForm::kPageTextCeiling;
    QByteArray out;
    qint64 got = 0;
    while (got < limit) {
        const qint64 room = qMin(limit, got + qMax(got, qint64(4096)));
        // readLine writes a terminating zero after what it read.
        out.resize(int(room + 1));
        const qint64 n = device->readLine(out.data() + got, room - got + 1);
        if (n <= 0)
            break;
        got += n;
        if (out.at(int(got - 1)) == '\n' || got < room)
            break;
    }
    out.resize(int(got));
    return out;
}

bool XFileIO::replace(const QString &path, const QByteArray &data)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    // Destroyed uncommitted, the save file takes its temporary file with it.
    return file.write(data) == data.size() && file.commit();
}

bool XFileIO::append(const QString &path, const QByteArray &data)
{
    QFile file;
    if (!XPlatform::openRegular(&file, path, QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered))
        return false;
    const qint64 before = file.size();
    if (write(&file, data) == data.size())
        return true;
    file.resize(before);
    return false;
}

qint64 XFileIO::write(QFileDevice *file, const QByteArray &data)
{
    return qMax(file->write(data), qint64(0));
}
