#include "core/xcookierecord.h"

#include <QDateTime>

namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QVariantMap XCookieRecord::toRecord(const QNetworkCookie &cookie)
{
    quint32 expiration = kSessionExpiration;
    if (!cookie.isSessionCookie()) {
        const qint64 secs = cookie.expirationDate().toSecsSinceEpoch();
        expiration = quint32(qBound<qint64>(0, secs, kSessionExpiration));
    }
    QByteArray name = cookie.name();
    const int zero = name.indexOf('\0');
    if (zero >= 0)
        name.truncate(zero);

    QVariantMap record;
    record.insert(QStringLiteral("domain"), cookie.domain());
    record.insert(QStringLiteral("expiration"), QString::number(expiration));
    record.insert(QStringLiteral("http_only"), flag(cookie.isHttpOnly()));
    record.insert(QStringLiteral("secure"), flag(cookie.isSecure()));
    record.insert(QStringLiteral("session"), flag(cookie.isSessionCookie()));
    record.insert(QStringLiteral("name"), QString::fromLatin1(name));
    record.insert(QStringLiteral("path"), cookie.path());
    record.insert(QStringLiteral("value64"), QString::fromLatin1(cookie.value().toBase64()));
    return record;
}

QNetworkCookie XCookieRecord::fromRecord(const QVariantMap &record)
{
    QNetworkCookie cookie;
    auto text = [&record](const char *key, QString *out) {
        const auto it = record.constFind(QLatin1String(key));
        if (it == record.constEnd())
            return false;
        *out = it->toString();
        return true;
    };
    QString v;
    if (text("domain", &v))
        cookie.setDomain(v);
    const QVariant expiration = record.value(QStringLiteral("expiration"));
    if (expiration.isValid()) {
        // Pages hand back the text they got, or a number of their own.
        bool ok = false;
        quint32 secs = expiration.toString().toUInt(&ok);
        if (!ok && expiration.userType() == QMetaType::Double) {
            const double d = expiration.toDouble();
            ok = d >= 0 && d <= kSessionExpiration && d == qint64(d);
            secs = quint32(d);
        }
        if (ok)
            cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC));
    }
    if (text("http_only", &v))
        cookie.setHttpOnly(v == QLatin1String("1"));
    if (text("secure", &v))
        cookie.setSecure(v == QLatin1String("1"));
    if (text("name", &v))
        cookie.setName(v.toLatin1());
    if (text("path", &v))
        cookie.setPath(v);
    if (text("value", &v))
        cookie.setValue(v.toLatin1());
    if (text("value64", &v))
        cookie.setValue(QByteArray::fromBase64(v.toLatin1()));
    return cookie;
}

QVariantList XCookieRecord::toRecords(const QList<QNetworkCookie> &cookies)
{
    QVariantList records;
    for (const QNetworkCookie &cookie : cookies)
        records << toRecord(cookie);
    return records;
}

QList<QNetworkCookie> XCookieRecord::fromRecords(const QVariant &records)
{
    QList<QNetworkCookie> cookies;
    if (records.userType() != QMetaType::QVariantList && records.userType() != QMetaType::QStringList)
        return cookies;
    const QVariantList list = records.toList();
    for (const QVariant &element : list)
        cookies << fromRecord(element.userType() == QMetaType::QVariantMap ? element.toMap() : QVariantMap());
    return cookies;
}
