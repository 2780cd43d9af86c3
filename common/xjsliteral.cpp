#include "xjsliteral.h"

#include <QLocale>
#include <QStringList>
#include <QVariantMap>

#include <cmath>

namespace {

void appendEscaped(QString &out, QChar c)
{
    static const char hex[] = "0123456789ABCDEF";
    const ushort u = c.unicode();
    switch (u) {
    case '\\': out += QLatin1String("\\\\"); return;
    case '\'': out += QLatin1String("\\'"); return;
    case '"': out += QLatin1String("\\\""); return;
    case '\n': out += QLatin1String("\\n"); return;
    case '\r': out += QLatin1String("\\r"); return;
    case '\t': out += QLatin1String("\\t"); return;
    default: break;
    }
    // '<' keeps "</script>" and "<!--" inert if the text ever lands in markup;
    // U+2028/9 end a line inside a literal in older engines.
    if (u < 0x20 || u == 0x7f || u == '<' || u == '>' || u == 0x2028 || u == 0x2029) {
        out += QLatin1String("\\u");
        out += QLatin1Char(hex[(u >> 12) & 0xf]);
        out += QLatin1Char(hex[(u >> 8) & 0xf]);
        out += QLatin1Char(hex[(u >> 4) & 0xf]);
        out += QLatin1Char(hex[u & 0xf]);
        return;
    }
    out += c;
}

} // namespace

QString XJsLiteral::fromString(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out += QLatin1Char('\'');
    for (const QChar c : text)
        appendEscaped(out, c);
    out += QLatin1Char('\'');
    return out;
}

QString XJsLiteral::fromDouble(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    // Script numbers are doubles, and most of them are whole: print those as
    // integers, which is the same text and much cheaper than the shortest form.
    if (value == 0 && std::signbit(value))
        return QStringLiteral("-0");
    if (std::abs(value) < 9007199254740992.0 && value == std::trunc(value))
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString XJsLiteral::fromVariant(const QVariant &value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: return value.toString();
    case QMetaType::Double:
    case QMetaType::Float: return fromDouble(value.toDouble());
    case QMetaType::QChar: return fromString(QString(value.toChar()));
    case QMetaType::QString: return fromString(value.toString());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        QString out = QStringLiteral("[");
        for (int i = 0; i < list.size(); ++i) {
            if (i)
                out += QLatin1Char(',');
            out += fromVariant(list.at(i));
        }
        out += QLatin1Char(']');
        return out;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        // A hash is written in sorted key order too, so the text is stable.
        const QVariantMap map = value.toMap();
        QString out = QStringLiteral("{");
        bool first = true;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!first)
                out += QLatin1Char(',');
            first = false;
            // A plain or quoted __proto__ key sets the prototype; a computed one
            // makes an own property like any other key.
            if (it.key() == QLatin1String("__proto__"))
                out += QLatin1Char('[') + fromString(it.key()) + QLatin1Char(']');
            else
                out += fromString(it.key());
            out += QLatin1Char(':');
            out += fromVariant(it.value());
        }
        out += QLatin1Char('}');
        return out;
    }
    default: return QStringLiteral("null");
    }
}

QString XJsLiteral::call(const QString &name, const QVariantList &arguments)
{
    QStringList literals;
    literals.reserve(arguments.size());
    for (const QVariant &argument : arguments)
        literals << fromVariant(argument);
    return callWithLiterals(name, literals);
}

QString XJsLiteral::callWithLiterals(const QString &name, const QStringList &literals)
{
    return name + QLatin1Char('(') + literals.join(QStringLiteral(", ")) + QStringLiteral(");");
}

QString XJsLiteral::orderedObject(const QVector<QPair<QString, QVariant>> &fields)
{
    QStringList parts;
    parts.reserve(fields.size());
    for (const auto &field : fields)
    {
        // As in fromVariant: a computed key keeps __proto__ an own property.
        const QString key = fromString(field.first);
        parts << (field.first == QLatin1String("__proto__") ? QLatin1Char('[') + key + QLatin1Char(']') : key)
                + QLatin1Char(':') + fromVariant(field.second);
    }
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}
