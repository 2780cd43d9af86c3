#include "jsonvariant.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>
#include <limits>

bool JsonVariant::parse(const QString &text, QVariant *value, QString *error)
{
    // Qt 5's parser only takes arrays and objects at the top.
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson("[" + text.toUtf8() + "]", &parseError);
    if (parseError.error != QJsonParseError::NoError || doc.array().size() != 1) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                              : QStringLiteral("expected exactly one JSON value");
        return false;
    }
    *value = fromJson(doc.array().at(0));
    return true;
}

QVariant JsonVariant::fromJson(const QJsonValue &json)
{
    switch (json.type()) {
    case QJsonValue::Bool: return json.toBool();
    case QJsonValue::Double: {
        const double d = json.toDouble();
        if (std::floor(d) == d && d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max())
            return int(d);
        return d;
    }
    case QJsonValue::String: return json.toString();
    case QJsonValue::Array: {
        QVariantList list;
        const QJsonArray array = json.toArray();
        for (const QJsonValue &item : array)
            list.append(fromJson(item));
        return list;
    }
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject object = json.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    default: return QVariant();
    }
}

QJsonValue JsonVariant::toJson(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int: return value.toInt();
    // JSON values hold doubles: exact up to 2^53; format() writes any exactly.
    case QMetaType::LongLong: return double(value.toLongLong());
    case QMetaType::ULongLong: return double(value.toULongLong());
    case QMetaType::Double: return value.toDouble();
    case QMetaType::QString: return value.toString();
    case QMetaType::QByteArray: return QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"));
    case QMetaType::QVariantList: {
        QJsonArray array;
        const QVariantList list = value.toList();
        for (const QVariant &item : list)
            array.append(toJson(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    default: return QJsonValue::Null;
    }
}

QString JsonVariant::format(const QVariant &value)
{
    // Written here rather than by QJsonDocument, which keeps numbers as doubles
    // and would round a 64-bit integer (<i8>) past 2^53.
    switch (value.userType()) {
    case QMetaType::LongLong: return QString::number(value.toLongLong());
    case QMetaType::ULongLong: return QString::number(value.toULongLong());
    case QMetaType::QVariantList: {
        QStringList items;
        const QVariantList list = value.toList();
        for (const QVariant &item : list)
            items << format(item);
        return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    case QMetaType::QVariantMap: {
        QStringList members;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            members << format(it.key()) + QLatin1Char(':') + format(it.value());
        return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    default: {
        const QByteArray wrapped = QJsonDocument(QJsonArray {toJson(value)}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
    }
    }
}
