#include "xtrustpolicy.h"

namespace {
QStringList &trustedList()
{
    static QStringList list;
    return list;
}

bool isLocalOrigin(const QString &scheme, const QString &host)
{
    const QString s = scheme.toLower();
    if (s != QLatin1String("file") && s != QLatin1String("qrc"))
        return false;
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}
} // namespace

void XTrustPolicy::setTrustedOrigins(const QStringList &origins)
{
    QStringList normalised;
    for (const QString &o : origins) {
        const QString n = origin(QUrl(o.trimmed()));
        if (!n.isEmpty())
            normalised << n;
    }
    trustedList() = normalised;
}

QStringList XTrustPolicy::trustedOrigins()
{
    return trustedList();
}

bool XTrustPolicy::isTrustedOrigin(const QString &scheme, const QString &host, int port)
{
    if (isLocalOrigin(scheme, host))
        return true;
    if (scheme.isEmpty() || host.isEmpty())
        return false;
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host);
    if (port > 0)
        url.setPort(port);
    const QString o = origin(url);
    return !o.isEmpty() && trustedList().contains(o);
}

QString XTrustPolicy::origin(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return QString();
    const QString scheme = url.scheme().toLower();
    int port = url.port();
    if (port < 0) {
        if (scheme == QLatin1String("http"))
            port = 80;
        else if (scheme == QLatin1String("https"))
            port = 443;
    }
    QString o = scheme + QStringLiteral("://") + url.host().toLower();
    if (port >= 0)
        o += QLatin1Char(':') + QString::number(port);
    return o;
}
