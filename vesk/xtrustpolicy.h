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

    // A local file or resource: file: or qrc: without a host ("localhost" aside),
    // so that a file URL naming a network share does not count.
    static bool isLocal(const QUrl &url);
    static bool isEmptyDocument(const QUrl &url);
    static bool isTrusted(const QUrl &url, bool openerTrusted = true);
    // The same judgement for a document's security origin, which the engine
    // gives every document, about:blank included (inherited from its creator).
    static bool isTrustedOrigin(const QString &scheme, const QString &host, int port);

    // "scheme://host:port" with the scheme's default port made explicit; empty
    // for URLs that have no network origin.
    static QString origin(const QUrl &url);
};
