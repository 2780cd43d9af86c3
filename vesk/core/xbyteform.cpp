#include "core/xbyteform.h"

QByteArray XByteForm::beforeZero(const QByteArray &bytes)
{
    const int zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

QByteArray XByteForm::toLatin1(const QString &text)
{
    return beforeZero(text.toLatin1());
}

QString XByteForm::fromUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(beforeZero(bytes));
}

QByteArray XByteForm::ofVariant(const QVariant &value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::QString: return beforeZero(value.toString().toUtf8());
    case QMetaType::Bool: return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: return beforeZero(value.toString().toUtf8());
    default: return QByteArray();
    }
}

bool XByteForm::isList(const QVariant &value)
{
    const int type = static_cast<int>(value.type());
    return type == QMetaType::QVariantList || type == QMetaType::QStringList;
}

bool XByteForm::ofArgumentList(const QVariant &value, bool latin1, QStringList *arguments)
{
    arguments->clear();
    if (!isList(value))
        return false;
    const QVariantList list = value.toList();
    for (const QVariant &element : list) {
        // The engine hands null over as a null string.
        if (static_cast<int>(element.type()) != QMetaType::QString || element.isNull())
            return false;
        const QString text = element.toString();
        // A C string ends at U+0000: the program would get another argument than the page gave.
        if (text.contains(QChar(0)))
            return false;
        arguments->append(latin1 ? QString::fromLatin1(text.toUtf8()) : text);
    }
    if (arguments->isEmpty() || arguments->first().isEmpty()) {
        arguments->clear();
        return false;
    }
    return true;
}

QString XByteForm::digestText(const QByteArray &digest)
{
    return fromUtf8(digest);
}
