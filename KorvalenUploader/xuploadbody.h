#pragma once

#include <QByteArray>
#include <QString>

// The Base64 text of an upload, made one XUploadParts piece at a time from
// the photo's bytes or straight from the file, so neither the whole text nor
// (for a file) the whole file is ever held in memory.
class XUploadBody {
public:
    XUploadBody() = default;
    // Bytes already in memory (a re-encoded photo).
    explicit XUploadBody(QByteArray data);
    // A file on disk, read again for each piece; size is what it had when the
    // upload began, and a file that no longer has those bytes fails the piece.
    XUploadBody(const QString &path, qint64 size);

    qint64 textLength() const { return (m_size + 2) / 3 * 4; }
    // Appends piece n of the text; false (see errorString) when the file does not give its bytes.
    bool appendPiece(int n, QByteArray *out);
    // call is an XML-RPC document whose first struct member "data" holds an
    // empty string: out becomes its UTF-8 bytes with piece n as that string.
    bool document(const QString &call, int n, QByteArray *out);
    QString errorString() const { return m_error; }

private:
    bool readAt(qint64 from, qint64 size, char *to);

    QByteArray m_data;
    QString m_path;
    bool m_fromFile = false;
    qint64 m_size = 0;
    QString m_error;
};
