#include "xuploadparts.h"

XUploadParts::XUploadParts(QByteArray base64)
    : m_base64(std::move(base64))
{
}

void XUploadParts::bounds(qint64 length, int n, qint64 *start, qint64 *size)
{
    const qint64 from = length * n / Count;
    const qint64 to = n + 1 >= Count ? length : length * (n + 1) / Count;
    *start = from;
    *size = to - from;
}

QString XUploadParts::part(int n) const
{
    qint64 start = 0;
    qint64 size = 0;
    bounds(m_base64.size(), n, &start, &size);
    return QString::fromLatin1(m_base64.constData() + start, int(size));
}
