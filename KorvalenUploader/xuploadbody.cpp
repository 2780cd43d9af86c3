#include "xuploadbody.h"

#include "xuploadparts.h"

#include <QFile>

namespace {
// Bytes encoded at a time: a multiple of 3, so that blocks join without padding.
const qint64 BlockBytes = 3 * 256 * 1024;

const char Slot[] = "<string></string>";
} // namespace

XUploadBody::XUploadBody(QByteArray data)
    : m_data(std::move(data))
    , m_size(m_data.size())
{
}

XUploadBody::XUploadBody(const QString &path, qint64 size)
    : m_path(path)
    , m_fromFile(true)
    , m_size(size)
{
}

bool XUploadBody::readAt(qint64 from, qint64 size, char *to)
{
    if (!m_fromFile) {
        memcpy(to, m_data.constData() + from, size_t(size));
        return true;
    }
    QFile file(m_path);
    qint64 got = 0;
    if (file.open(QIODevice::ReadOnly) && file.seek(from)) {
        while (got < size) {
            const qint64 n = file.read(to + got, size - got);
            if (n <= 0)
                break;
            got += n;
        }
    }
    if (got == size)
        return true;
    m_error = QStringLiteral("Cannot read the file: %1 (it changed while it was being sent)").arg(m_path);
    return false;
}

bool XUploadBody::appendPiece(int n, QByteArray *out)
{
    qint64 start = 0;
    qint64 length = 0;
    XUploadParts::bounds(textLength(), n, &start, &length);
    // The piece's characters come from whole groups of 3 bytes; the first group may start before it.
    qint64 skip = start % 4;
    qint64 from = start / 4 * 3;
    QByteArray block;
    while (length > 0) {
        const qint64 bytes = qMin(BlockBytes, m_size - from);
        block.resize(int(bytes));
        if (!readAt(from, bytes, block.data()))
            return false;
        const QByteArray text = block.toBase64();
        const qint64 take = qMin<qint64>(text.size() - skip, length);
        out->append(text.constData() + skip, int(take));
        length -= take;
        from += bytes;
        skip = 0;
    }
    return true;
}

bool XUploadBody::document(const QString &call, int n, QByteArray *out)
{
    // Names and texts are escaped by the writer, so the first literal member
    // name "data" is the struct's own, and its empty string follows it.
    const int member = call.indexOf(QLatin1String("<name>data</name>"));
    const int slot = member < 0 ? -1 : call.indexOf(QLatin1String(Slot), member);
    if (slot < 0) {
        m_error = QStringLiteral("no place for the file's data in the call");
        return false;
    }
    const int split = slot + int(sizeof("<string>")) - 1;
    const QByteArray head = call.leftRef(split).toUtf8();
    const QByteArray tail = call.midRef(split).toUtf8();
    qint64 start = 0;
    qint64 length = 0;
    XUploadParts::bounds(textLength(), n, &start, &length);
    out->clear();
    out->reserve(int(head.size() + length + tail.size()));
    out->append(head);
    if (!appendPiece(n, out)) {
        *out = QByteArray();
        return false;
    }
    out->append(tail);
    return true;
}
