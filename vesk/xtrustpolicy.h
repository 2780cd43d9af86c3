#pragma once

#include <QStringList>
#include <QUrl>

// Which documents get the native objects, judged by their security origin: local
// documents do; a remote page only when its origin was named trusted on the
// command line.
class XTrustPolicy {
public:
    static void setTrustedOrigins(const QStringList &origins);
    static QStringList trustedOrigins();

    // The engine gives every document an origin, about:blank included (inherited
    // from its creator). Local is file: or qrc: without a host ("localhost" aside),
    // so that a file URL naming a network share does not count.
    static bool isTrustedOrigin(const QString &scheme, const QString &host, int port);

    // "scheme://host:port" with the scheme's default port made explicit; empty
    // for URLs that have no network origin.
    static QString origin(const QUrl &url);
};
