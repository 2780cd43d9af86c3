#include "maiaxmlwriter.h"

#include "maialogging.h"
#include "maiascalar.h"

#include <QDateTime>
#include <QDebug>
#include <QLocale>
#include <QStringList>

#include <limits>

#include <algorithm>
#include <cmath>

namespace {

inline bool isPlainChar(ushort c)
{
    return c >= 0x20 && c != '<' && c != '&' && c != '>' && c < 0xD800;
}

} // namespace

QString MaiaXmlWriter::methodCall(const QString &method, const QVariantList &args)
{
    MaiaXmlWriter w;
    w.writeDeclaration();
    w.m_out += QLatin1String("<methodCall>\n <methodName>");
    w.writeText(method);
    w.m_out += QLatin1String("</methodName>\n");
    if (args.isEmpty()) {
        w.m_out += QLatin1String(" <params/>\n");
    } else {
        w.m_out += QLatin1String(" <params>\n");
        for (const QVariant &arg : args) {
            w.m_out += QLatin1String("  <param>\n");
            w.writeValue(arg, 3);
            w.m_out += QLatin1String("  </param>\n");
        }
        w.m_out += QLatin1String(" </params>\n");
    }
    w.m_out += QLatin1String("</methodCall>\n");
    return w.m_out;
}

QString MaiaXmlWriter::methodResponse(const QVariant &value)
{
    MaiaXmlWriter w;
    w.writeDeclaration();
    w.m_out += QLatin1String("<methodResponse>\n <params>\n  <param>\n");
    w.writeValue(value, 3);
    w.m_out += QLatin1String("  </param>\n </params>\n</methodResponse>\n");
    return w.m_out;
}

QString MaiaXmlWriter::faultResponse(int code, const QString &text)
{
    QVariantMap fault;
    fault.insert(QStringLiteral("faultCode"), code);
    fault.insert(QStringLiteral("faultString"), text);
    MaiaXmlWriter w;
    w.writeDeclaration();
    w.m_out += QLatin1String("<methodResponse>\n <fault>\n");
    w.writeValue(fault, 2);
    w.m_out += QLatin1String(" </fault>\n</methodResponse>\n");
    return w.m_out;
}

QString MaiaXmlWriter::formatDouble(double value)
{
    // QString::number drops the sign of negative zero.
    if (value == 0.0 && std::signbit(value))
        return QStringLiteral("-0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString MaiaXmlWriter::dropInvalidChars(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const int n = text.size();
    const QChar *s = text.constData();
    for (int i = 0; i < n; ++i) {
        const ushort c = s[i].unicode();
        if (c >= 0x20 && c < 0xD800) {
            out += s[i];
        } else if (c < 0x20) {
            if (c == '\t' || c == '\n' || c == '\r')
                out += s[i];
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && s[i + 1].isLowSurrogate()) {
                out += s[i];
                out += s[i + 1];
                ++i;
            }
        } else if (QChar::isLowSurrogate(c)) {
            // unpaired: dropped
        } else if (c != 0xFFFE && c != 0xFFFF) {
            out += s[i];
        }
    }
    return out;
}

bool MaiaXmlWriter::normalise(QVariant *value)
{
    switch (value->userType()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QDateTime:
    case QMetaType::QVariantList:
    case QMetaType::QVariantMap: return true;
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar: {
        const qlonglong v = value->toLongLong();
        *value = v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max() ? QVariant(int(v))
                                                                                              : QVariant(v);
        return true;
    }
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong v = value->toULongLong();
        if (v > qulonglong(std::numeric_limits<qlonglong>::max()))
            return false;
        *value = v <= qulonglong(std::numeric_limits<int>::max()) ? QVariant(int(v)) : QVariant(qlonglong(v));
        return true;
    }
    case QMetaType::Float: *value = double(value->toFloat()); return true;
    case QMetaType::QChar: *value = QString(value->toChar()); return true;
    case QMetaType::QDate: {
        const QDate date = value->toDate();
        *value = QDateTime(date, QTime(0, 0));
        return date.isValid();
    }
    case QMetaType::QStringList: {
        QVariantList list;
        const QStringList strings = value->toStringList();
        for (const QString &s : strings)
            list.append(s);
        *value = list;
        return true;
    }
    case QMetaType::QVariantHash: {
        // A struct's member order carries no meaning; sorted keys keep the text stable.
        QVariantMap map;
        const QVariantHash hash = value->toHash();
        for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
            map.insert(it.key(), it.value());
        *value = map;
        return true;
    }
    default: return false;
    }
}

bool MaiaXmlWriter::canWrite(const QVariant &value, int *badType)
{
    QVariant v = value;
    if (!normalise(&v)) {
        *badType = value.userType();
        return false;
    }
    if (v.userType() == QMetaType::QVariantList) {
        const QVariantList list = v.toList();
        for (const QVariant &item : list) {
            if (!canWrite(item, badType))
                return false;
        }
    } else if (v.userType() == QMetaType::QVariantMap) {
        const QVariantMap map = v.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!canWrite(it.value(), badType))
                return false;
        }
    }
    return true;
}

void MaiaXmlWriter::writeDeclaration()
{
    m_out += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

void MaiaXmlWriter::indent(int level)
{
    const int end = m_out.size();
    m_out.resize(end + level);
    std::fill(m_out.begin() + end, m_out.end(), QLatin1Char(' '));
}

void MaiaXmlWriter::writeScalar(const char *tag, const QString &text, int level)
{
    indent(level);
    m_out += QLatin1Char('<');
    m_out += QLatin1String(tag);
    m_out += QLatin1Char('>');
    writeText(text);
    m_out += QLatin1String("</");
    m_out += QLatin1String(tag);
    m_out += QLatin1String(">\n");
}

void MaiaXmlWriter::writeValue(const QVariant &original, int level)
{
    QVariant value = original;
    if (!normalise(&value)) {
        qCDebug(lcMaia).nospace() << "Failed to marshal unknown variant type: " << original.userType();
        indent(level);
        m_out += QLatin1String("<value/>\n");
        return;
    }
    const int type = value.userType();

    indent(level);
    m_out += QLatin1String("<value>\n");
    const int inner = level + 1;
    switch (type) {
    case QMetaType::Bool:
        writeScalar("boolean", value.toBool() ? QStringLiteral("1") : QStringLiteral("0"), inner);
        break;
    case QMetaType::Int: writeScalar("int", QString::number(value.toInt(), 10), inner); break;
    case QMetaType::LongLong: writeScalar("i8", QString::number(value.toLongLong(), 10), inner); break;
    case QMetaType::Double: writeScalar("double", formatDouble(value.toDouble()), inner); break;
    case QMetaType::QString: writeScalar("string", value.toString(), inner); break;
    case QMetaType::QByteArray:
        writeScalar("base64", QString::fromLatin1(value.toByteArray().toBase64()), inner);
        break;
    case QMetaType::QDateTime:
        writeScalar("dateTime.iso8601", MaiaScalar::writeDateTime(value.toDateTime()), inner);
        break;
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        indent(inner);
        m_out += QLatin1String("<array>\n");
        indent(inner + 1);
        if (list.isEmpty()) {
            m_out += QLatin1String("<data/>\n");
        } else {
            m_out += QLatin1String("<data>\n");
            for (const QVariant &item : list)
                writeValue(item, inner + 2);
            indent(inner + 1);
            m_out += QLatin1String("</data>\n");
        }
        indent(inner);
        m_out += QLatin1String("</array>\n");
        break;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        indent(inner);
        if (map.isEmpty()) {
            m_out += QLatin1String("<struct/>\n");
            break;
        }
        m_out += QLatin1String("<struct>\n");
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            indent(inner + 1);
            m_out += QLatin1String("<member>\n");
            writeScalar("name", it.key(), inner + 2);
            writeValue(it.value(), inner + 2);
            indent(inner + 1);
            m_out += QLatin1String("</member>\n");
        }
        indent(inner);
        m_out += QLatin1String("</struct>\n");
        break;
    }
    }
    indent(level);
    m_out += QLatin1String("</value>\n");
}

void MaiaXmlWriter::writeText(const QString &text)
{
    const int n = text.size();
    const QChar *s = text.constData();
    int i = 0;
    while (i < n) {
        int start = i;
        while (i < n && isPlainChar(s[i].unicode()))
            ++i;
        m_out.append(s + start, i - start);
        if (i >= n)
            break;
        const ushort c = s[i].unicode();
        switch (c) {
        case '<': m_out += QLatin1String("&lt;"); break;
        case '&': m_out += QLatin1String("&amp;"); break;
        case '>':
            // Only "]]>" must be broken up; this matches Qt's DOM output.
            if (m_out.endsWith(QLatin1String("]]")))
                m_out += QLatin1String("&gt;");
            else
                m_out += QLatin1Char('>');
            break;
        case '\r':
            // A raw CR would be read back as LF (XML end-of-line handling).
            m_out += QLatin1String("&#xd;");
            break;
        case '\t':
        case '\n': m_out += s[i]; break;
        default:
            if (QChar::isHighSurrogate(c)) {
                if (i + 1 < n && s[i + 1].isLowSurrogate()) {
                    m_out += s[i];
                    m_out += s[i + 1];
                    ++i;
                }
            } else if (c >= 0xE000 && c != 0xFFFE && c != 0xFFFF) {
                m_out += s[i];
            }
            // Other control characters and lone surrogates cannot be carried.
            break;
        }
        ++i;
    }
}
