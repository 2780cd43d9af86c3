#pragma once

#include <QString>
#include <QVariant>

// Writes native values as JavaScript source literals. Every piece of data that
// native code puts into evaluated JavaScript goes through here, so that no value
// can end its own literal or change on the way into the page.
class XJsLiteral
{
public:
    // Any value: bool, numbers, strings, characters, lists and maps (recursively).
    // Invalid values, null strings (how the web engine hands over a script's null
    // inside arrays and objects) and unsupported types become null.
    static QString fromVariant(const QVariant &value);

    // Always a quoted string literal, even for a null QString.
    static QString fromString(const QString &text);

    static QString fromDouble(double value);
};
