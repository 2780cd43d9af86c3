#pragma once

#include <QString>
#include <QVariant>

// Writes native values as JavaScript source literals. Every piece of data that
// native code puts into evaluated JavaScript goes through here, so that no value
// can end its own literal or change on the way into the page.
class XJsLiteral {
public:
    // Any value: bool, numbers, strings, characters, lists and maps (recursively).
    // Invalid values and unsupported types become null; every string, null or
    // not, becomes a string literal.
    static QString fromVariant(const QVariant &value);

    static QString fromString(const QString &text);

    static QString fromDouble(double value);

    // "name(a, b);": how native code calls a page back. The name is written as
    // the page gave it (a global function, or "window." + one); every argument
    // is a literal.
    static QString call(const QString &name, const QVariantList &arguments = {});
};
