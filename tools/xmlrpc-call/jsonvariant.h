#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariant>

// Converts between JSON texts on the command line and XML-RPC values.
class JsonVariant {
public:
    // One JSON value of any kind (not only arrays and objects).
    static bool parse(const QString &text, QVariant *value, QString *error);
    static QVariant fromJson(const QJsonValue &json);
    static QJsonValue toJson(const QVariant &value);
    // The compact JSON text of any value, scalars included.
    static QString format(const QVariant &value);
};
