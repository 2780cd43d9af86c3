#include "qftpreplyreader.h"

namespace {

bool validCode(const QByteArray &line)
{
    if (line.size() < 3)
        return false;
    const char a = line.at(0), b = line.at(1), c = line.at(2);
    return a >= '1' && a <= '5' && b >= '0' && b <= '5' && c >= '0' && c <= '9';
}

QByteArray chopEol(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

}

QString QFtpReplyReader::decode(const QByteArray &bytes) const
{
    return m_utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

void QFtpReplyReader::append(const QByteArray &data)
{
    if (m_pos > 0 && m_pos >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    m_buffer.append(data);
}

void QFtpReplyReader::clear()
{
    m_buffer.clear();
    m_pos = 0;
    m_inMultiLine = false;
    m_code.clear();
    m_text.clear();
    m_errorText.clear();
}

int QFtpReplyReader::room() const
{
    return qMax(0, MaxLineLength + 2 - (m_buffer.size() - m_pos));
}

QFtpReplyReader::Result QFtpReplyReader::fail(Result result, const QString &text)
{
    m_errorText = text;
    m_buffer.clear();
    m_pos = 0;
    m_inMultiLine = false;
    m_code.clear();
    m_text.clear();
    return result;
}

bool QFtpReplyReader::takeLine(QByteArray *line, Result *failure)
{
    const int eol = m_buffer.indexOf('\n', m_pos);
    if (eol < 0) {
        *failure = (m_buffer.size() - m_pos > MaxLineLength)
            ? fail(TooLong, QStringLiteral("Reply line from server too long"))
            : NeedMore;
        return false;
    }
    if (eol - m_pos > MaxLineLength) {
        *failure = fail(TooLong, QStringLiteral("Reply line from server too long"));
        return false;
    }
    *line = chopEol(m_buffer.mid(m_pos, eol + 1 - m_pos));
    m_pos = eol + 1;
    return true;
}

QFtpReplyReader::Result QFtpReplyReader::next(int *code, QString *text)
{
    QByteArray line;
    Result failure = NeedMore;
    while (takeLine(&line, &failure)) {
        if (!m_inMultiLine) {
            if (!validCode(line))
                return fail(Malformed,
                            QStringLiteral("Malformed reply from server: %1").arg(QString::fromLatin1(line.left(80))));
            m_code = line.left(3);
            m_text.clear();
            if (line.size() > 3 && line.at(3) == '-') {
                m_inMultiLine = true;
                m_text = decode(line.mid(4)) + QLatin1Char('\n');
                continue;
            }
        } else {
            // RFC 959: the reply ends at a line starting with the code and a space.
            const bool last = line.startsWith(m_code) && (line.size() == 3 || line.at(3) == ' ');
            if (!last) {
                const bool sameCodeDash = line.startsWith(m_code) && line.size() > 3 && line.at(3) == '-';
                m_text += decode(sameCodeDash ? line.mid(4) : line) + QLatin1Char('\n');
                if (m_text.size() > MaxReplyLength)
                    return fail(TooLong, QStringLiteral("Reply from server too long"));
                continue;
            }
        }
        m_inMultiLine = false;
        m_text += decode(line.mid(4));
        *code = m_code.toInt();
        *text = m_text;
        m_text.clear();
        return Reply;
    }
    return failure;
}
