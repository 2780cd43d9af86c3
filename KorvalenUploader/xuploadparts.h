#pragma once

#include <QByteArray>
#include <QString>

// The four pieces of an upload's Base64 text, cut at L/4, L/2 and 3L/4.
// Holds the text once; a piece becomes a string only when it is sent.
class XUploadParts {
public:
    static const int Count = 4;

    XUploadParts() = default;
    explicit XUploadParts(QByteArray base64);

    // Start and length of piece n (0..3) in a text of the given length.
    static void bounds(qint64 length, int n, qint64 *start, qint64 *size);
    QString part(int n) const;
    qint64 length() const { return m_base64.size(); }

private:
    QByteArray m_base64;
};
