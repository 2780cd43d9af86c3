#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

// Reads the text of XML-RPC scalar elements strictly: text that is not a
// value of its type is refused instead of being read as 0 or false.
class MaiaScalar {
public:
    // "int" and "i4" give an int when the number fits 32 bits, else a qlonglong.
    static bool readInteger(const QString &text, bool wide, QVariant *value);
    static bool readDouble(const QString &text, QVariant *value);
    // 0, 1, true or false, with white space around allowed.
    static bool readBoolean(const QString &text, QVariant *value);
    // RFC 4648 alphabet; white space (line breaks) is skipped, anything else is refused.
    static bool readBase64(const QString &text, QVariant *value);
    // The basic and extended ISO 8601 forms, with optional fraction and "Z" or offset.
    static QDateTime readDateTime(const QString &text);

    // The one form written; servers that want a zone read none as their local time.
    static QString writeDateTime(const QDateTime &value);
};
