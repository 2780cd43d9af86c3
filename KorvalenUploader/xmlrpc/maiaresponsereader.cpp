#include "maiaresponsereader.h"

#include <QByteArray>
#include <QDateTime>
#include <QDebug>
#include <QVariantList>
#include <QVariantMap>

namespace {

inline bool isTag(const QStringRef &name, QLatin1String tag)
{
    return name.compare(tag, Qt::CaseInsensitive) == 0;
}

// An empty element must give "", not a null string that reads like nil.
inline QString nonNull(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

} // namespace

MaiaResponseReader::MaiaResponseReader(const QString &text)
    : m_reader(text)
    , m_errorLine(0)
    , m_failed(false)
{
}

MaiaResponseReader::Outcome MaiaResponseReader::read()
{
    while (!m_reader.atEnd() && m_reader.readNext() != MaiaXmlTokenizer::StartElement) { }
    if (m_reader.tokenType() != MaiaXmlTokenizer::StartElement) {
        finish();
        return NotWellFormed;
    }

    Outcome outcome = NotXmlRpc;
    if (nextStartElementChild()) {
        const QStringRef tag = m_reader.name();
        if (isTag(tag, QLatin1String("params"))) {
            outcome = Response;
            if (nextStartElementChild() && nextStartElementChild())
                m_value = readValue(1);
        } else if (isTag(tag, QLatin1String("fault"))) {
            outcome = Fault;
            if (nextStartElementChild())
                m_value = readValue(1);
        }
    }
    if (!finish())
        return NotWellFormed;
    return outcome;
}

bool MaiaResponseReader::nextStartElementChild()
{
    while (!m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case MaiaXmlTokenizer::StartElement: return true;
        case MaiaXmlTokenizer::EndElement:
        case MaiaXmlTokenizer::Invalid: return false;
        default: break;
        }
    }
    return false;
}

void MaiaResponseReader::skipElement()
{
    int nested = 0;
    while (!m_reader.atEnd()) {
        const MaiaXmlTokenizer::Token token = m_reader.readNext();
        if (token == MaiaXmlTokenizer::StartElement)
            ++nested;
        else if (token == MaiaXmlTokenizer::EndElement && nested-- == 0)
            return;
    }
}

QString MaiaResponseReader::elementText()
{
    // Counted rather than recursive: deep nesting inside a scalar must not
    // overflow the stack.
    QString text;
    int nested = 0;
    while (!m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case MaiaXmlTokenizer::Characters:
            if (text.isEmpty())
                text = m_reader.text();
            else
                text += m_reader.text();
            break;
        case MaiaXmlTokenizer::StartElement: ++nested; break;
        case MaiaXmlTokenizer::EndElement:
            if (nested-- == 0)
                return nonNull(text);
            break;
        default: break;
        }
    }
    return nonNull(text);
}

QVariant MaiaResponseReader::readValue(int depth)
{
    if (!isTag(m_reader.name(), QLatin1String("value"))) {
        skipElement();
        return QVariant();
    }
    if (depth > MaxValueDepth) {
        fail(QStringLiteral("values nested deeper than %1 levels").arg(MaxValueDepth));
        return QVariant();
    }

    QString text;
    while (!m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case MaiaXmlTokenizer::StartElement: {
            const QVariant typed = readTyped(depth);
            // Anything after the type element is ignored.
            while (nextStartElementChild())
                skipElement();
            return typed;
        }
        case MaiaXmlTokenizer::Characters:
            text += m_reader.text();
            if (m_reader.isWhitespace())
                break;
            {
                // Bare text: the value is all the text it holds.
                int nested = 0;
                while (!m_reader.atEnd()) {
                    const MaiaXmlTokenizer::Token token = m_reader.readNext();
                    if (token == MaiaXmlTokenizer::Characters)
                        text += m_reader.text();
                    else if (token == MaiaXmlTokenizer::StartElement)
                        ++nested;
                    else if (token == MaiaXmlTokenizer::EndElement && nested-- == 0)
                        break;
                }
            }
            return text;
        case MaiaXmlTokenizer::EndElement: return nonNull(text);
        case MaiaXmlTokenizer::Invalid: return QVariant();
        default: break;
        }
    }
    return QVariant();
}

QVariant MaiaResponseReader::readTyped(int depth)
{
    // The name is only valid until the next token, so decide first.
    const QStringRef tag = m_reader.name();
    if (isTag(tag, QLatin1String("string")))
        return elementText();
    if (isTag(tag, QLatin1String("int")) || isTag(tag, QLatin1String("i4"))) {
        bool ok = false;
        const int v = elementText().toInt(&ok, 10);
        return ok ? v : 0;
    }
    if (isTag(tag, QLatin1String("double"))) {
        bool ok = false;
        const double v = elementText().toDouble(&ok);
        return ok ? v : 0.0;
    }
    if (isTag(tag, QLatin1String("boolean"))) {
        const QString text = elementText();
        return text.toLower() == QLatin1String("true") || text == QLatin1String("1");
    }
    if (isTag(tag, QLatin1String("base64")))
        return QByteArray::fromBase64(elementText().toLatin1());
    if (isTag(tag, QLatin1String("datetime")) || isTag(tag, QLatin1String("datetime.iso8601")))
        return QDateTime::fromString(elementText(), QStringLiteral("yyyyMMddThh:mm:ss"));
    if (isTag(tag, QLatin1String("array")))
        return readArray(depth);
    if (isTag(tag, QLatin1String("struct")))
        return readStruct(depth);
    const QString lower = tag.toString().toLower();
    skipElement();
    if (lower != QLatin1String("nil"))
        qDebug().nospace().noquote() << "Cannot demarshal unknown type " << lower;
    return QVariant();
}

QVariant MaiaResponseReader::readArray(int depth)
{
    QVariantList list;
    if (nextStartElementChild()) {
        while (nextStartElementChild())
            list.append(readValue(depth + 1));
        while (nextStartElementChild())
            skipElement();
    }
    return list;
}

QVariant MaiaResponseReader::readStruct(int depth)
{
    QVariantMap map;
    while (nextStartElementChild()) {
        QString key;
        QVariant value;
        bool haveName = false;
        bool haveValue = false;
        while (nextStartElementChild()) {
            const QStringRef tag = m_reader.name();
            if (!haveName && tag == QLatin1String("name")) {
                key = elementText();
                haveName = true;
            } else if (!haveValue && tag == QLatin1String("value")) {
                value = readValue(depth + 1);
                haveValue = true;
            } else {
                skipElement();
            }
        }
        if (m_reader.hasError())
            break;
        map.insert(key, value);
    }
    return map;
}

void MaiaResponseReader::fail(const QString &text)
{
    if (m_reader.hasError())
        return;
    m_reader.raiseError(text);
}

bool MaiaResponseReader::finish()
{
    while (!m_reader.atEnd())
        m_reader.readNext();
    if (m_reader.hasError()) {
        m_failed = true;
        m_errorLine = m_reader.lineNumber();
        m_errorText = m_reader.errorString();
    }
    return !m_failed;
}
