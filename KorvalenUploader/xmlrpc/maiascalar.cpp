#include "maiascalar.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QTimeZone>

bool MaiaScalar::readInteger(const QString &text, bool wide, QVariant *value)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return false;
    if (!wide && v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
        *value = int(v);
    else
        *value = v;
    return true;
}

bool MaiaScalar::readDouble(const QString &text, QVariant *value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        return false;
    *value = v;
    return true;
}

bool MaiaScalar::readBoolean(const QString &text, QVariant *value)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("1") || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        *value = true;
    else if (t == QLatin1String("0") || t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        *value = false;
    else
        return false;
    return true;
}

bool MaiaScalar::readBase64(const QString &text, QVariant *value)
{
    QByteArray data;
    data.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == ' ' || u == '\t' || u == '\r' || u == '\n')
            continue;
        if (u > 0x7f)
            return false;
        data.append(char(u));
    }
    const QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(data, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    *value = result.decoded;
    return true;
}

QDateTime MaiaScalar::readDateTime(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})(-?)(\\d{2})\\2(\\d{2})T(\\d{2})(:?)(\\d{2})\\6(\\d{"
                                                        "2})(?:[.,](\\d+))?(Z|[+-]\\d{2}(?::?\\d{2})?)?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return QDateTime();
    const QDate date(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    const int msecs = m.captured(9).isEmpty() ? 0 : m.captured(9).leftJustified(3, QLatin1Char('0'), true).toInt();
    const QTime time(m.captured(5).toInt(), m.captured(7).toInt(), m.captured(8).toInt(), msecs);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const QString zone = m.captured(10);
    if (zone.isEmpty())
        return QDateTime(date, time, Qt::LocalTime);
    if (zone == QLatin1String("Z"))
        return QDateTime(date, time, Qt::UTC);
    const int sign = zone.at(0) == QLatin1Char('-') ? -1 : 1;
    const QString digits = zone.mid(1).remove(QLatin1Char(':'));
    const int hours = digits.left(2).toInt();
    const int minutes = digits.size() > 2 ? digits.mid(2).toInt() : 0;
    if (hours > 23 || minutes > 59)
        return QDateTime();
    return QDateTime(date, time, Qt::OffsetFromUTC, sign * (hours * 3600 + minutes * 60));
}

QString MaiaScalar::writeDateTime(const QDateTime &value)
{
    return value.toString(QStringLiteral("yyyyMMddThh:mm:ss"));
}
