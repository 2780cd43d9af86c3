#include "api/xjavascriptapi.h"

#include "core/xdesktopnotifier.h"
#include "page/xpagebinding.h"
#include "web/xnotificationpresenter.h"
#include "window/xtrayicon.h"
#include "xjsliteral.h"

#include <QPointer>
#include <QSystemTrayIcon>

// Engine notifications with no service to go to show as the tray's message.
static bool trayMessage(const QString &title, const QString &body)
{
    XTrayIcon *tray = XTrayIcon::latest();
    return tray && tray->showMessage(title, body, QString());
}

bool XJavaScriptAPI::notify(const QString &title, const QString &body, const QString &icon, const QString &onClick,
                            const QString &onClose)
{
    if (!m_binding->documentTrusted())
        return false;
    XDesktopNotifier *notifier = XDesktopNotifier::shared();
    watchNotifications();
    if (const uint id = notifier ? notifier->notify(title, body, icon) : 0) {
        if (!onClick.isEmpty() || !onClose.isEmpty())
            m_notifications.insert(id, {onClick, onClose});
        return true;
    }
    XTrayIcon *tray = m_trayIcon ? m_trayIcon : XTrayIcon::latest();
    // Another window's tray cannot call this page's functions.
    if (tray == m_trayIcon)
        return tray && tray->showMessage(title, body, onClick, onClose);
    return tray && tray->showMessage(title, body);
}

void XJavaScriptAPI::watchNotifications()
{
    if (m_watchingNotifications)
        return;
    XDesktopNotifier *notifier = XDesktopNotifier::shared();
    if (!notifier)
        return;
    m_watchingNotifications = true;
    connect(notifier, &XDesktopNotifier::clicked, this, [this](uint id) { notificationEnded(id, true); });
    connect(notifier, &XDesktopNotifier::closed, this, [this](uint id) { notificationEnded(id, false); });
}

void XJavaScriptAPI::notificationEnded(uint id, bool clicked)
{
    // The service closes a clicked notification too: the click is what counts.
    const auto found = m_notifications.find(id);
    if (found == m_notifications.end())
        return;
    const QString function = clicked ? found->onClick : found->onClose;
    m_notifications.erase(found);
    if (!function.isEmpty())
        callBack(XJsLiteral::call(function));
}

bool XJavaScriptAPI::setTrayIcon(const QString &icon, const QString &toolTip, const QString &onClick)
{
    if (!m_binding->documentTrusted())
        return false;
    XNotificationPresenter::setFallback(trayMessage);
    const bool made = !m_trayIcon;
    if (made) {
        QPointer<XJavaScriptAPI> self(this);
        m_trayIcon = new XTrayIcon([self](const QString &function) {
            if (self)
                self->callBack(XJsLiteral::call(function));
        }, this);
    }
    if (!m_trayIcon->setIcon(icon, toolTip)) {
        if (made)
            removeTrayIcon();
        return false;
    }
    m_trayIcon->setOnClick(onClick);
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool XJavaScriptAPI::setTrayMenu(const QVariant &entries)
{
    if (!m_binding->documentTrusted() || !m_trayIcon)
        return false;
    return m_trayIcon->setMenu(entries);
}

void XJavaScriptAPI::removeTrayIcon()
{
    delete m_trayIcon;
    m_trayIcon = nullptr;
}

bool XJavaScriptAPI::isTrayAvailable()
{
    return m_binding->documentTrusted() && QSystemTrayIcon::isSystemTrayAvailable();
}
