#pragma once

#include <QByteArray>
#include <QString>

// Splits the control connection's byte stream into FTP replies (RFC 959,
// section 4.2), bounding line and reply sizes so a hostile server cannot
// make the client buffer without end.
class QFtpReplyReader {
public:
    enum Result { NeedMore, Reply, Malformed, TooLong };

    static const int MaxLineLength = 8 * 1024;
    static const int MaxReplyLength = 1024 * 1024;

    void append(const QByteArray &data);
    // Takes the next complete reply out of the buffer.
    Result next(int *code, QString *text);
    void clear();
    // Reply texts are UTF-8 once the server has said so (RFC 2640), else Latin-1.
    void setUtf8(bool on) { m_utf8 = on; }

    // Bytes the reader still accepts before it must hand out a result.
    int room() const;
    QString errorText() const { return m_errorText; }

private:
    bool takeLine(QByteArray *line, Result *failure);
    Result fail(Result result, const QString &text);
    QString decode(const QByteArray &bytes) const;

    QByteArray m_buffer;
    int m_pos = 0;
    bool m_inMultiLine = false;
    bool m_utf8 = false;
    QByteArray m_code;
    QString m_text;
    QString m_errorText;
};
