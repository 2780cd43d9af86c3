#include "maiaresponsereader.h"

#include "maialogging.h"
#include "maiaresponsedecoder.h"
#include "maiascalar.h"

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
    , m_invalidValue(false)
{
}

bool MaiaResponseReader::decode(const QByteArray &body, QString *text, QString *error)
{
    MaiaResponseDecoder decoder(body.size());
    decoder.feed(body);
    return decoder.finish(text, error);
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
        return m_invalidValue ? InvalidValue : NotWellFormed;
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
    const bool wide = isTag(tag, QLatin1String("i8"));
    if (wide || isTag(tag, QLatin1String("int")) || isTag(tag, QLatin1String("i4")))
        return readScalar(QStringLiteral("int"),
                          [wide](const QString &t, QVariant *v) { return MaiaScalar::readInteger(t, wide, v); });
    if (isTag(tag, QLatin1String("double")))
        return readScalar(QStringLiteral("double"), MaiaScalar::readDouble);
    if (isTag(tag, QLatin1String("boolean")))
        return readScalar(QStringLiteral("boolean"), MaiaScalar::readBoolean);
    if (isTag(tag, QLatin1String("base64")))
        return readScalar(QStringLiteral("base64"), MaiaScalar::readBase64);
    if (isTag(tag, QLatin1String("datetime")) || isTag(tag, QLatin1String("datetime.iso8601")))
        return MaiaScalar::readDateTime(elementText());
    if (isTag(tag, QLatin1String("array")))
        return readArray(depth);
    if (isTag(tag, QLatin1String("struct")))
        return readStruct(depth);
    const QString lower = tag.toString().toLower();
    skipElement();
    if (lower != QLatin1String("nil"))
        qCDebug(lcMaia).nospace().noquote() << "Cannot demarshal unknown type " << lower;
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
                key = sharedKey(elementText());
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

QVariant MaiaResponseReader::readScalar(const QString &type,
                                        const std::function<bool(const QString &, QVariant *)> &read)
{
    const QString text = elementText();
    QVariant value;
    if (read(text, &value))
        return value;
    // A made-up 0 or false would pass for what the server sent.
    if (!m_reader.hasError()) {
        m_invalidValue = true;
        m_reader.raiseError(QStringLiteral("not a valid %1: \"%2\"").arg(type, text.left(64)));
    }
    return QVariant();
}

QString MaiaResponseReader::sharedKey(const QString &key)
{
    // Arrays of structs repeat the same few member names; one copy each
    // instead of one per member keeps large responses small.
    const auto it = m_keys.constFind(key);
    if (it != m_keys.constEnd())
        return *it;
    if (m_keys.size() < MaxSharedKeys)
        m_keys.insert(key, key);
    return key;
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
