#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QTextDecoder;

// Turns a response body into text as it arrives, so the raw bytes and the
// decoded document are never held whole at the same time. The encoding is
// taken from the XML declaration (UTF-8 when there is none; UTF-16 by its
// byte order mark or its first bytes).
class MaiaResponseDecoder {
public:
    // expectedBytes: the declared body size, if any, to size the text once.
    explicit MaiaResponseDecoder(qint64 expectedBytes = -1);
    ~MaiaResponseDecoder();

    void feed(const QByteArray &bytes);
    // The whole text; false with a reason when the encoding is unknown.
    bool finish(QString *text, QString *error);
    qint64 bytesFed() const { return m_bytesFed; }

private:
    void start();

    // The XML declaration is looked for in this many leading bytes.
    static const int HeadSize = 256;

    QByteArray m_head;
    std::unique_ptr<QTextDecoder> m_decoder;
    QString m_text;
    QString m_error;
    qint64 m_bytesFed;
    qint64 m_expectedBytes;
    bool m_started;
};
