#include "web/xnotificationpresenter.h"

#include "core/xdesktopnotifier.h"
#include "core/xtrustpolicy.h"

#include <QTimer>

static XNotificationPresenter::Fallback &fallback()
{
    static XNotificationPresenter::Fallback f;
    return f;
}

void XNotificationPresenter::setFallback(const Fallback &f)
{
    fallback() = f;
}

XNotificationPresenter::XNotificationPresenter() = default;

XNotificationPresenter::~XNotificationPresenter()
{
    // The engine drops its presenter when the page closes the notification.
    XDesktopNotifier *notifier = XDesktopNotifier::shared();
    if (m_id && notifier)
        notifier->close(m_id);
}

void XNotificationPresenter::showNotification(const QWebNotificationData *data)
{
    // All local files share one origin in the engine, so its permission alone
    // does not tell an application page from a downloaded one.
    const QUrl page = data->openerPageUrl();
    if (!XTrustPolicy::isTrustedDocument(page, page.scheme(), page.host(), page.port())) {
        QTimer::singleShot(0, this, &XNotificationPresenter::notificationClosed);
        return;
    }
    const QUrl icon = data->iconUrl();
    XDesktopNotifier *notifier = XDesktopNotifier::shared();
    m_id = !notifier ? 0 : notifier->notify(data->title(), data->message(), icon.isLocalFile() ? icon.toLocalFile() : QString());
    if (!m_id) {
        if (fallback())
            fallback()(data->title(), data->message());
        return;
    }
    connect(notifier, &XDesktopNotifier::clicked, this, [this](uint id) {
        if (id == m_id)
            Q_EMIT notificationClicked();
    });
    connect(notifier, &XDesktopNotifier::closed, this, [this](uint id) {
        if (id != m_id)
            return;
        m_id = 0;
        Q_EMIT notificationClosed();
    });
}

// Built in this file, without run-time type information (see CMakeLists.txt).
#include "moc_xnotificationpresenter.cpp"
