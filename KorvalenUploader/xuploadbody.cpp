#include "xuploadbody.h"

#include "xuploadparts.h"

#include <QFile>
#include <QFileInfo>

namespace {
// Bytes encoded at a time: a multiple of 3, so that blocks join without padding.
const qint64 BlockBytes = 3 * 256 * 1024;

const char Slot[] = "<string></string>";
// Two Base64 characters for every 12 bits: a table lookup per 12 bits instead of per 6.
struct PairTable {
    char pairs[4096][2];
    PairTable()
    {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 4096; ++i) {
            pairs[i][0] = alphabet[i >> 6];
            pairs[i][1] = alphabet[i & 63];
        }
    }
};

// Standard Base64 with '=' padding, the same text as QByteArray::toBase64.
void encode(const uchar *in, qint64 size, char *out)
{
    static const PairTable table;
    qint64 i = 0;
    for (; i + 3 <= size; i += 3, out += 4) {
        const uint v = uint(in[i]) << 16 | uint(in[i + 1]) << 8 | in[i + 2];
        memcpy(out, table.pairs[v >> 12], 2);
        memcpy(out + 2, table.pairs[v & 0xfff], 2);
    }
    if (i < size) {
        const bool two = i + 1 < size;
        const uint v = uint(in[i]) << 16 | (two ? uint(in[i + 1]) << 8 : 0);
        memcpy(out, table.pairs[v >> 12], 2);
        out[2] = two ? table.pairs[v & 0xfff][0] : '=';
        out[3] = '=';
    }
}
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
    QFile file(m_path);
    qint64 got = 0;
    // Replaced by a FIFO meanwhile, opening it would wait for a writer.
    if (QFileInfo(m_path).isFile() && file.open(QIODevice::ReadOnly) && file.seek(from)) {
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
    QByteArray text;
    while (length > 0) {
        const qint64 bytes = qMin(BlockBytes, m_size - from);
        const uchar *source = reinterpret_cast<const uchar *>(m_data.constData()) + from;
        if (m_fromFile) {
            block.resize(int(bytes));
            if (!readAt(from, bytes, block.data()))
                return false;
            source = reinterpret_cast<const uchar *>(block.constData());
        }
        qint64 done = 0;
        if (skip > 0) {
            // The group the piece starts in: only its last characters belong to it.
            char group[4];
            encode(source, qMin<qint64>(3, bytes), group);
            const qint64 take = qMin(4 - skip, length);
            out->append(group + skip, int(take));
            length -= take;
            done = 3;
            skip = 0;
        }
        if (length > 0 && done < bytes) {
            // Through a block of its own rather than in place at the end of out:
            // in place, the C library kept a third part's pages resident (a peak
            // of 101 instead of 88 MiB for 40 MiB; its threshold for returning
            // large blocks moves with what was freed before).
            text.resize(int((bytes - done + 2) / 3 * 4));
            encode(source + done, bytes - done, text.data());
            const qint64 take = qMin<qint64>(text.size(), length);
            out->append(text.constData(), int(take));
            length -= take;
        }
        from += bytes;
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
