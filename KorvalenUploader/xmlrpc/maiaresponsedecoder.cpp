#include "maiaresponsedecoder.h"

#include <QRegularExpression>
#include <QTextCodec>
#include <QTextDecoder>

#include <limits>

MaiaResponseDecoder::MaiaResponseDecoder(qint64 expectedBytes)
    : m_bytesFed(0)
    , m_expectedBytes(expectedBytes)
    , m_started(false)
{
}

MaiaResponseDecoder::~MaiaResponseDecoder() = default;

void MaiaResponseDecoder::feed(const QByteArray &bytes)
{
    m_bytesFed += bytes.size();
    if (!m_started) {
        m_head += bytes;
        if (m_head.size() >= HeadSize)
            start();
        return;
    }
    if (m_decoder)
        m_text += m_decoder->toUnicode(bytes);
}

void MaiaResponseDecoder::start()
{
    m_started = true;
    const QByteArray head = m_head;
    m_head.clear();

    QTextCodec *codec = nullptr;
    if (head.startsWith("\xFF\xFE") || head.startsWith(QByteArray("<\0?\0", 4))) {
        codec = QTextCodec::codecForName("UTF-16LE");
    } else if (head.startsWith("\xFE\xFF") || head.startsWith(QByteArray("\0<\0?", 4))) {
        codec = QTextCodec::codecForName("UTF-16BE");
    } else {
        // The declaration is ASCII in every encoding that is not UTF-16.
        static const QRegularExpression declaration(
            QStringLiteral("^(?:\\xEF\\xBB\\xBF)?<\\?xml[^>]*?\\sencoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
        const QRegularExpressionMatch m = declaration.match(QString::fromLatin1(head.left(HeadSize)));
        const QByteArray name = m.hasMatch() ? m.captured(1).toLatin1() : QByteArray("UTF-8");
        codec = QTextCodec::codecForName(name);
        if (!codec) {
            m_error = QStringLiteral("unknown encoding %1").arg(QString::fromLatin1(name));
            return;
        }
    }
    // A byte order mark is kept as U+FEFF, which the tokenizer skips.
    m_decoder.reset(codec->makeDecoder(QTextCodec::IgnoreHeader));
    if (m_expectedBytes > 0 && m_expectedBytes < std::numeric_limits<int>::max())
        m_text.reserve(int(m_expectedBytes));
    m_text += m_decoder->toUnicode(head);
}

bool MaiaResponseDecoder::finish(QString *text, QString *error)
{
    if (!m_started)
        start();
    if (!m_decoder) {
        *error = m_error;
        return false;
    }
    // A sequence cut off at the end becomes U+FFFD, as a one-shot decode makes it.
    if (m_decoder->needsMoreData())
        m_text += QChar(QChar::ReplacementCharacter);
    m_text.squeeze();
    *text = std::move(m_text);
    m_text = QString();
    return true;
}
