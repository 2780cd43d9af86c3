#include "core/xtrustpolicy.h"

#include <QDir>
#include <QFileInfo>

namespace {
QStringList &trustedList()
{
    static QStringList list;
    return list;
}

QString &applicationDir()
{
    static QString dir = QStringLiteral("app");
    return dir;
}

bool isLocalHost(const QString &host)
{
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}
} // namespace

void XTrustPolicy::setApplicationDirectory(const QString &dir)
{
    applicationDir() = dir;
}

QString XTrustPolicy::applicationDirectory()
{
    return applicationDir();
}

bool XTrustPolicy::isInsideApplication(const QString &localPath)
{
    const QString root = QFileInfo(applicationDir()).canonicalFilePath();
    const QString path = QFileInfo(localPath).canonicalFilePath();
    if (root.isEmpty() || path.isEmpty())
        return false;
    return path == root || path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

bool XTrustPolicy::isForeignFile(const QUrl &url)
{
    if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
        return false;
    return !isLocalHost(url.host()) || !isInsideApplication(url.toLocalFile());
}

bool XTrustPolicy::isBlank(const QUrl &url)
{
    return url.isEmpty() || url.toString() == QLatin1String("about:blank");
}

bool XTrustPolicy::isLocalOrigin(const QString &scheme, const QString &host)
{
    const QString s = scheme.toLower();
    if (s != QLatin1String("file") && s != QLatin1String("qrc"))
        return false;
    return isLocalHost(host);
}

bool XTrustPolicy::isTrustedDocument(const QUrl &url, const QString &scheme, const QString &host, int port)
{
    if (!isTrustedOrigin(scheme, host, port))
        return false;
    if (!isLocalOrigin(scheme, host))
        return true;
    // Every local file shares one origin in the engine, so the URL decides.
    const QString s = url.scheme().toLower();
    if (s == QLatin1String("qrc"))
        return true;
    if (s == QLatin1String("file"))
        return !isForeignFile(url);
    return false;
}

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
