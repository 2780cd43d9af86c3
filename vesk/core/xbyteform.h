#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

// How page text becomes bytes and bytes become page text. Pages hand over
// strings that may hold U+0000; the C-string heritage of files and commands
// ends every byte form at the first zero byte.
class XByteForm {
public:
    // The most bytes that one read hands a page as a string (a whole file, a
    // program's output collected for its end): decoded, such a string takes up to
    // twice that again on each side of the bridge.
    static constexpr qint64 kPageTextCeiling = 256LL << 20;

    // Latin-1 bytes (characters outside Latin-1 become '?'), up to the first zero byte.
    static QByteArray toLatin1(const QString &text);
    // Bytes up to the first zero byte, decoded as UTF-8.
    static QString fromUtf8(const QByteArray &bytes);
    // The bytes before the first zero byte.
    static QByteArray beforeZero(const QByteArray &bytes);
    // A command given as a script value: a string's UTF-8 bytes, a number's
    // decimal text, "true"/"false"; anything else gives no bytes.
    static QByteArray ofVariant(const QVariant &value);
    // A command given as an array [program, arguments...]: whether the value is
    // one, and its elements; false for an empty array, an empty program, an
    // element that is not a string or one holding U+0000. latin1 reads each
    // element's UTF-8 bytes one character per byte.
    static bool isList(const QVariant &value);
    static bool ofArgumentList(const QVariant &value, bool latin1, QStringList *arguments);
    // A raw digest as text: cut at the first zero byte, decoded as UTF-8.
    static QString digestText(const QByteArray &digest);
};
