#include "web/xwebsettings.h"

#include "core/xtrustpolicy.h"

#include <QDir>
#include <QStringList>
#include <QUrl>
#include <QWebPage>
#include <QWebSecurityOrigin>
#include <QWebSettings>

void XWebSettings::applyGlobal()
{
    // A local scheme may only be navigated to from local documents, so the engine
    // itself refuses app:// links in remote pages and frames...
    static const bool appSchemeIsLocal = [] {
        QWebSecurityOrigin::addLocalScheme(QStringLiteral("app"));
        return true;
    }();
    Q_UNUSED(appSchemeIsLocal);
    // ...except in pages of the origins the user trusts, which get the native API too.
    static QStringList allowed;
    for (const QString &origin : qAsConst(allowed))
        QWebSecurityOrigin(QUrl(origin))
            .removeAccessWhitelistEntry(QStringLiteral("app"), QString(), QWebSecurityOrigin::AllowSubdomains);
    allowed = XTrustPolicy::trustedOrigins();
    for (const QString &origin : qAsConst(allowed))
        QWebSecurityOrigin(QUrl(origin))
            .addAccessWhitelistEntry(QStringLiteral("app"), QString(), QWebSecurityOrigin::AllowSubdomains);

    // Application pages may read remote data; trust is decided per document by
    // origin, so this gives remote documents nothing.
    QWebSettings::globalSettings()->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, true);
}

void XWebSettings::enablePersistentStorage(const QString &folder)
{
    QDir().mkpath(folder);
    // Sets the paths and switches local storage, SQL databases and the cache on.
    QWebSettings::enablePersistentStorage(folder);
    QWebSettings::setOfflineStorageDefaultQuota(DatabaseQuota);
    // Without a path of its own the engine keeps local storage in memory only.
    QWebSettings::globalSettings()->setLocalStoragePath(folder + QStringLiteral("/LocalStorage"));
    QWebSettings::globalSettings()->setAttribute(QWebSettings::LocalStorageEnabled, true);
    QWebSettings::globalSettings()->setAttribute(QWebSettings::OfflineStorageDatabaseEnabled, true);
}

void XWebSettings::applyToPage(QWebPage *page)
{
    page->settings()->setAttribute(QWebSettings::PluginsEnabled, true);
    page->settings()->setAttribute(QWebSettings::JavascriptCanOpenWindows, true);
    page->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
}
