#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QVariant>

#include <functional>

// Writes native values as JavaScript source literals. Every piece of data that
// native code puts into evaluated JavaScript goes through here, so that no value
// can end its own literal or change on the way into the page.
class XJsLiteral {
public:
    // Where callers hand the script text of a call back into a page.
    using Evaluator = std::function<void(const QString &script)>;

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
    // The same with arguments already written as literals.
    static QString callWithLiterals(const QString &name, const QStringList &literals);
    // An object literal whose keys keep the order given (fromVariant sorts them).
    static QString orderedObject(const QVector<QPair<QString, QVariant>> &fields);
};
