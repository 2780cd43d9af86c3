#pragma once

#include <QStringList>
#include <QUrl>

// Which documents get the native objects. Local documents do; a remote page only
// when its origin was named trusted on the command line. An empty document
// (about:blank, a fresh window) inherits the trust of whoever opened it.
class XTrustPolicy
{
public:
    static void setTrustedOrigins(const QStringList &origins);
    static QStringList trustedOrigins();

    static bool isLocal(const QUrl &url);
    static bool isEmptyDocument(const QUrl &url);
    static bool isTrusted(const QUrl &url, bool openerTrusted = true);

    // "scheme://host:port" with the scheme's default port made explicit; empty
    // for URLs that have no network origin.
    static QString origin(const QUrl &url);
};
