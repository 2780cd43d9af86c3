#pragma once

#include <QStringList>
#include <QUrl>

// Which documents get the native objects: pages under the application
// directory (symbolic links resolved), the program's own qrc: resources, and
// remote pages whose origin was named trusted on the command line. Any other
// local file is shown like a remote page.
class XTrustPolicy {
public:
    // The folder whose files are the application's; relative to the working
    // directory at the time of each check, "app" unless set.
    static void setApplicationDirectory(const QString &dir);
    static QString applicationDirectory();
    // Whether the path, once links are resolved, is the application directory
    // or lies beneath it. A path that does not exist is not.
    static bool isInsideApplication(const QString &localPath);
    // A file: URL outside the application directory (or on another host).
    static bool isForeignFile(const QUrl &url);

    static void setTrustedOrigins(const QStringList &origins);
    static QStringList trustedOrigins();

    // The engine gives every document an origin, about:blank included (inherited
    // from its creator). Local is file: or qrc: without a host ("localhost" aside),
    // so that a file URL naming a network share does not count.
    static bool isTrustedOrigin(const QString &scheme, const QString &host, int port);
    static bool isLocalOrigin(const QString &scheme, const QString &host);

    // A document at url with that origin. An empty or about:blank URL with a
    // local origin answers false: whether its maker was trusted is for the
    // caller, who knows the frame, to say.
    static bool isTrustedDocument(const QUrl &url, const QString &scheme, const QString &host, int port);
    static bool isBlank(const QUrl &url);

    // "scheme://host:port" with the scheme's default port made explicit; empty
    // for URLs that have no network origin.
    static QString origin(const QUrl &url);
};
