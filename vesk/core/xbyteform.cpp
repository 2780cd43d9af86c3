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

QString XByteForm::digestText(const QByteArray &digest)
{
    return fromUtf8(digest);
}
