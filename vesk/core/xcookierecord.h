#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QVariant>

// The record a page sees for a cookie, and back. Expiration travels as unsigned
// seconds since 1970 UTC; a session cookie reads as the largest 32-bit value.
class XCookieRecord {
public:
    static const quint32 kSessionExpiration = 4294967295u;

    static QVariantMap toRecord(const QNetworkCookie &cookie);
    static QNetworkCookie fromRecord(const QVariantMap &record);
    static QVariantList toRecords(const QList<QNetworkCookie> &cookies);
    // Anything that is not a list gives no cookies; an element that is not a
    // record gives an empty cookie.
    static QList<QNetworkCookie> fromRecords(const QVariant &records);
};
