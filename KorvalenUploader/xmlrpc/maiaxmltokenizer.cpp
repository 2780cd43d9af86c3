#include "maiaxmltokenizer.h"

namespace {

inline bool isSpace(ushort c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// XML 1.0 NameStartChar, for one UTF-16 unit outside the surrogates.
inline bool isNameStart(ushort c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF)
        || (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D)
        || (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF)
        || (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD);
}

inline bool isNameChar(ushort c)
{
    if (c < 0x80)
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    return isNameStart(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

inline bool isLegalChar(uint c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

const QString PrematureEnd = QStringLiteral("premature end of document");
const QString BadCharacter = QStringLiteral("character not allowed in XML");

} // namespace

MaiaXmlTokenizer::MaiaXmlTokenizer(const QString &source)
    : m_source(source)
    , m_data(m_source.constData())
    , m_size(m_source.size())
    , m_pos(0)
    , m_errorPos(0)
    , m_token(NoToken)
    , m_rootSeen(false)
    , m_pendingEnd(false)
    , m_nameStart(0)
    , m_nameLength(0)
    , m_cdata(false)
{
}

bool MaiaXmlTokenizer::isWhitespace() const
{
    if (m_cdata)
        return false;
    for (const QChar c : m_text) {
        if (!isSpace(c.unicode()))
            return false;
    }
    return true;
}

void MaiaXmlTokenizer::raiseError(const QString &message)
{
    fail(message);
}

MaiaXmlTokenizer::Token MaiaXmlTokenizer::fail(const QString &message)
{
    if (m_token != Invalid) {
        m_error = message;
        m_errorPos = qMin(m_pos, m_size);
        m_token = Invalid;
        m_text.clear();
    }
    return Invalid;
}

qint64 MaiaXmlTokenizer::lineNumber() const
{
    const int end = m_token == Invalid ? m_errorPos : qMin(m_pos, m_size);
    qint64 line = 1;
    for (int i = 0; i < end; ++i) {
        const ushort c = m_data[i].unicode();
        if (c == '\n' || (c == '\r' && (i + 1 >= m_size || m_data[i + 1] != QLatin1Char('\n'))))
            ++line;
    }
    return line;
}

bool MaiaXmlTokenizer::startsWith(const char *literal) const
{
    int i = m_pos;
    for (; *literal; ++literal, ++i) {
        if (i >= m_size || m_data[i].unicode() != ushort(uchar(*literal)))
            return false;
    }
    return true;
}

bool MaiaXmlTokenizer::skipSpace()
{
    const int start = m_pos;
    while (m_pos < m_size && isSpace(m_data[m_pos].unicode()))
        ++m_pos;
    return m_pos > start;
}

bool MaiaXmlTokenizer::parseName(int *start, int *length)
{
    *start = m_pos;
    bool first = true;
    while (m_pos < m_size) {
        const ushort c = m_data[m_pos].unicode();
        if (QChar::isHighSurrogate(c)) {
            // Names may use U+10000 to U+EFFFF.
            if (c > 0xDB7F || m_pos + 1 >= m_size || !m_data[m_pos + 1].isLowSurrogate())
                break;
            m_pos += 2;
        } else if (first ? isNameStart(c) : isNameChar(c)) {
            ++m_pos;
        } else {
            break;
        }
        first = false;
    }
    *length = m_pos - *start;
    return *length > 0;
}

bool MaiaXmlTokenizer::checkChars(int from, int to)
{
    for (int i = from; i < to; ++i) {
        const ushort c = m_data[i].unicode();
        if ((c >= 0x20 && c < 0xD800) || c == '\t' || c == '\n' || c == '\r' || (c >= 0xE000 && c <= 0xFFFD))
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < to && m_data[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        m_pos = i;
        fail(BadCharacter);
        return false;
    }
    return true;
}

bool MaiaXmlTokenizer::appendNormalised(int from, int to, QString *into)
{
    if (!checkChars(from, to))
        return false;
    // XML end-of-line handling: CR LF and a lone CR become LF.
    int start = from;
    for (int i = from; i < to; ++i) {
        if (m_data[i] != QLatin1Char('\r'))
            continue;
        into->append(m_data + start, i - start);
        into->append(QLatin1Char('\n'));
        if (i + 1 < to && m_data[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    into->append(m_data + start, to - start);
    return true;
}

bool MaiaXmlTokenizer::parseReference(QString *into)
{
    // At '&': a character reference or one of the five predefined entities.
    const int start = m_pos;
    ++m_pos;
    if (m_pos < m_size && m_data[m_pos] == QLatin1Char('#')) {
        ++m_pos;
        const bool hex = m_pos < m_size && m_data[m_pos] == QLatin1Char('x');
        if (hex)
            ++m_pos;
        uint code = 0;
        int digits = 0;
        while (m_pos < m_size) {
            const ushort c = m_data[m_pos].unicode();
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0)
                break;
            code = qMin<uint>(code * (hex ? 16 : 10) + digit, 0x110000);
            ++digits;
            ++m_pos;
        }
        if (digits == 0 || m_pos >= m_size || m_data[m_pos] != QLatin1Char(';')) {
            m_pos = start;
            fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed character reference"));
            return false;
        }
        ++m_pos;
        if (!isLegalChar(code)) {
            m_pos = start;
            fail(QStringLiteral("character reference to a character not allowed in XML"));
            return false;
        }
        if (code >= 0x10000) {
            into->append(QChar(QChar::highSurrogate(code)));
            into->append(QChar(QChar::lowSurrogate(code)));
        } else {
            into->append(QChar(ushort(code)));
        }
        return true;
    }

    static const struct {
        const char *name;
        char value;
    } predefined[] = {{"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'}};
    for (const auto &entity : predefined) {
        if (startsWith(entity.name)) {
            m_pos += int(qstrlen(entity.name));
            into->append(QLatin1Char(entity.value));
            return true;
        }
    }
    m_pos = start;
    fail(QStringLiteral("undeclared entity"));
    return false;
}

bool MaiaXmlTokenizer::parseDeclaration()
{
    // <?xml version="1.x" [encoding="..."] [standalone="yes|no"] ?>
    m_pos += 5;
    static const char *const names[] = {"version", "encoding", "standalone"};
    int next = 0;
    bool haveVersion = false;
    for (;;) {
        const bool space = skipSpace();
        if (startsWith("?>")) {
            m_pos += 2;
            if (!haveVersion)
                return fail(QStringLiteral("XML declaration without a version")), false;
            return true;
        }
        if (!space)
            return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed XML declaration")), false;
        int which = -1;
        for (int i = next; i < 3 && which < 0; ++i) {
            if (startsWith(names[i]))
                which = i;
        }
        if (which < 0)
            return fail(QStringLiteral("malformed XML declaration")), false;
        m_pos += int(qstrlen(names[which]));
        next = which + 1;
        skipSpace();
        if (m_pos >= m_size || m_data[m_pos] != QLatin1Char('='))
            return fail(QStringLiteral("malformed XML declaration")), false;
        ++m_pos;
        skipSpace();
        if (m_pos >= m_size || (m_data[m_pos] != QLatin1Char('"') && m_data[m_pos] != QLatin1Char('\'')))
            return fail(QStringLiteral("malformed XML declaration")), false;
        const QChar quote = m_data[m_pos++];
        const int start = m_pos;
        while (m_pos < m_size && m_data[m_pos] != quote) {
            const ushort c = m_data[m_pos].unicode();
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
                  || c == '-'))
                return fail(QStringLiteral("malformed XML declaration")), false;
            ++m_pos;
        }
        if (m_pos >= m_size)
            return fail(PrematureEnd), false;
        const QStringRef value(&m_source, start, m_pos - start);
        ++m_pos;
        if (which == 0) {
            // VersionNum ::= '1.' [0-9]+
            haveVersion = value.startsWith(QLatin1String("1.")) && value.size() > 2;
            for (int i = 2; haveVersion && i < value.size(); ++i)
                haveVersion = value.at(i) >= QLatin1Char('0') && value.at(i) <= QLatin1Char('9');
            if (!haveVersion)
                return fail(QStringLiteral("unsupported XML version")), false;
        } else if (which == 1) {
            if (value.isEmpty() || !value.at(0).isLetter())
                return fail(QStringLiteral("malformed encoding name")), false;
        } else if (value != QLatin1String("yes") && value != QLatin1String("no")) {
            return fail(QStringLiteral("standalone must be yes or no")), false;
        }
        if (which == 0)
            haveVersion = true;
    }
}

bool MaiaXmlTokenizer::skipComment()
{
    m_pos += 4;
    const int end = m_source.indexOf(QLatin1String("--"), m_pos);
    if (end < 0) {
        m_pos = m_size;
        return fail(PrematureEnd), false;
    }
    if (!checkChars(m_pos, end))
        return false;
    m_pos = end;
    if (!startsWith("-->"))
        return fail(QStringLiteral("'--' inside a comment")), false;
    m_pos += 3;
    return true;
}

bool MaiaXmlTokenizer::skipProcessingInstruction()
{
    m_pos += 2;
    int nameStart = 0;
    int nameLength = 0;
    if (!parseName(&nameStart, &nameLength))
        return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed processing instruction")), false;
    if (QStringRef(&m_source, nameStart, nameLength).compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0) {
        m_pos = nameStart - 2;
        return fail(QStringLiteral("XML declaration not at the start of the document")), false;
    }
    if (startsWith("?>")) {
        m_pos += 2;
        return true;
    }
    if (!skipSpace())
        return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed processing instruction")), false;
    const int end = m_source.indexOf(QLatin1String("?>"), m_pos);
    if (end < 0) {
        m_pos = m_size;
        return fail(PrematureEnd), false;
    }
    if (!checkChars(m_pos, end))
        return false;
    m_pos = end + 2;
    return true;
}

MaiaXmlTokenizer::Token MaiaXmlTokenizer::readNext()
{
    if (m_token == Invalid || m_token == EndDocument)
        return m_token;
    m_text.clear();
    m_cdata = false;

    if (m_pendingEnd) {
        // The end of an empty-element tag "<x/>".
        m_pendingEnd = false;
        m_open.removeLast();
        return m_token = EndElement;
    }

    if (m_token == NoToken) {
        if (m_size > 0 && m_data[0] == QChar(0xFEFF))
            m_pos = 1;
        if (startsWith("<?xml") && m_pos + 5 < m_size && isSpace(m_data[m_pos + 5].unicode())) {
            if (!parseDeclaration())
                return Invalid;
        }
    }

    for (;;) {
        if (m_pos >= m_size) {
            if (!m_open.isEmpty() || !m_rootSeen)
                return fail(PrematureEnd);
            return m_token = EndDocument;
        }
        if (m_data[m_pos] != QLatin1Char('<')) {
            if (!m_open.isEmpty())
                return parseCharData();
            if (!skipSpace())
                return fail(m_rootSeen ? QStringLiteral("extra content at end of document")
                                       : QStringLiteral("text before the root element"));
            continue;
        }
        if (startsWith("</"))
            return parseEndTag();
        if (startsWith("<?")) {
            if (!skipProcessingInstruction())
                return Invalid;
            continue;
        }
        if (startsWith("<!--")) {
            if (!skipComment())
                return Invalid;
            continue;
        }
        if (startsWith("<![CDATA[")) {
            if (m_open.isEmpty())
                return fail(QStringLiteral("character data outside the root element"));
            return parseCData();
        }
        if (startsWith("<!DOCTYPE"))
            return fail(QStringLiteral("document type declarations are not accepted"));
        if (startsWith("<!"))
            return fail(m_pos + 2 >= m_size ? PrematureEnd : QStringLiteral("malformed markup"));
        return parseStartTag();
    }
}

MaiaXmlTokenizer::Token MaiaXmlTokenizer::parseStartTag()
{
    if (m_rootSeen && m_open.isEmpty())
        return fail(QStringLiteral("extra content at end of document"));
    ++m_pos;
    if (!parseName(&m_nameStart, &m_nameLength))
        return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed element name"));

    m_attributes.clear();
    for (;;) {
        const bool space = skipSpace();
        if (m_pos >= m_size)
            return fail(PrematureEnd);
        if (m_data[m_pos] == QLatin1Char('>')) {
            ++m_pos;
            break;
        }
        if (startsWith("/>")) {
            m_pos += 2;
            m_pendingEnd = true;
            break;
        }
        if (!space)
            return fail(QStringLiteral("expected whitespace, '>' or '/>' in a start tag"));

        int attrStart = 0;
        int attrLength = 0;
        if (!parseName(&attrStart, &attrLength))
            return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed attribute name"));
        // XML-RPC has no attributes; the cap keeps the duplicate check
        // below cheap against a start tag with thousands of them.
        if (m_attributes.size() >= MaxAttributes) {
            m_pos = attrStart;
            return fail(QStringLiteral("more than %1 attributes on one element").arg(MaxAttributes));
        }
        const QStringRef attrName(&m_source, attrStart, attrLength);
        for (const auto &seen : qAsConst(m_attributes)) {
            if (QStringRef(&m_source, seen.first, seen.second) == attrName)
                return fail(QStringLiteral("attribute given twice"));
        }
        m_attributes.append(qMakePair(attrStart, attrLength));
        skipSpace();
        if (m_pos >= m_size || m_data[m_pos] != QLatin1Char('='))
            return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("expected '=' after an attribute name"));
        ++m_pos;
        skipSpace();
        if (m_pos >= m_size || (m_data[m_pos] != QLatin1Char('"') && m_data[m_pos] != QLatin1Char('\'')))
            return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("attribute value not quoted"));
        const QChar quote = m_data[m_pos++];
        QString ignored;
        for (;;) {
            if (m_pos >= m_size)
                return fail(PrematureEnd);
            const QChar c = m_data[m_pos];
            if (c == quote) {
                ++m_pos;
                break;
            }
            if (c == QLatin1Char('<'))
                return fail(QStringLiteral("'<' in an attribute value"));
            if (c == QLatin1Char('&')) {
                if (!parseReference(&ignored))
                    return Invalid;
                continue;
            }
            if (c.isHighSurrogate()) {
                if (!checkChars(m_pos, qMin(m_pos + 2, m_size)))
                    return Invalid;
                m_pos += 2;
                continue;
            }
            if (!checkChars(m_pos, m_pos + 1))
                return Invalid;
            ++m_pos;
        }
    }
    m_open.append(qMakePair(m_nameStart, m_nameLength));
    m_rootSeen = true;
    return m_token = StartElement;
}

MaiaXmlTokenizer::Token MaiaXmlTokenizer::parseEndTag()
{
    const int tagStart = m_pos;
    m_pos += 2;
    if (!parseName(&m_nameStart, &m_nameLength))
        return fail(m_pos >= m_size ? PrematureEnd : QStringLiteral("malformed element name"));
    skipSpace();
    if (m_pos >= m_size)
        return fail(PrematureEnd);
    if (m_data[m_pos] != QLatin1Char('>'))
        return fail(QStringLiteral("malformed end tag"));
    ++m_pos;
    if (m_open.isEmpty() || QStringRef(&m_source, m_open.last().first, m_open.last().second) != name()) {
        m_pos = tagStart;
        return fail(QStringLiteral("end tag does not match the open element"));
    }
    m_open.removeLast();
    return m_token = EndElement;
}

MaiaXmlTokenizer::Token MaiaXmlTokenizer::parseCharData()
{
    int start = m_pos;
    bool copied = false;
    while (m_pos < m_size) {
        const ushort c = m_data[m_pos].unicode();
        // The common case: printable BMP text without markup.
        if (c >= 0x20 && c < 0xD800 && c != '<' && c != '&' && c != ']') {
            ++m_pos;
            continue;
        }
        if (c == '<')
            break;
        if (c == '&') {
            m_text.append(m_data + start, m_pos - start);
            copied = true;
            if (!parseReference(&m_text))
                return Invalid;
            start = m_pos;
            continue;
        }
        if (c == ']') {
            if (startsWith("]]>"))
                return fail(QStringLiteral("']]>' in text"));
            ++m_pos;
            continue;
        }
        if (c == '\t' || c == '\n') {
            ++m_pos;
            continue;
        }
        if (c == '\r') {
            m_text.append(m_data + start, m_pos - start);
            m_text.append(QLatin1Char('\n'));
            copied = true;
            ++m_pos;
            if (m_pos < m_size && m_data[m_pos] == QLatin1Char('\n'))
                ++m_pos;
            start = m_pos;
            continue;
        }
        if (QChar::isHighSurrogate(c) && m_pos + 1 < m_size && m_data[m_pos + 1].isLowSurrogate()) {
            m_pos += 2;
            continue;
        }
        if (c >= 0xE000 && c <= 0xFFFD) {
            ++m_pos;
            continue;
        }
        return fail(BadCharacter);
    }
    if (copied)
        m_text.append(m_data + start, m_pos - start);
    else
        m_text = m_source.mid(start, m_pos - start);
    return m_token = Characters;
}

MaiaXmlTokenizer::Token MaiaXmlTokenizer::parseCData()
{
    m_pos += 9;
    const int end = m_source.indexOf(QLatin1String("]]>"), m_pos);
    if (end < 0) {
        m_pos = m_size;
        return fail(PrematureEnd);
    }
    if (!appendNormalised(m_pos, end, &m_text))
        return Invalid;
    m_pos = end + 3;
    m_cdata = true;
    return m_token = Characters;
}
