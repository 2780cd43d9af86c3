#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>

// A view's cookies, in memory only, with the whole list open to the API.
class XCookieJar : public QNetworkCookieJar {
    Q_OBJECT

public:
    explicit XCookieJar(QObject *parent = nullptr);

    QList<QNetworkCookie> allCookies() const;
    void setAllCookies(const QList<QNetworkCookie> &cookies);
};
