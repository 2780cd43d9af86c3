#pragma once

#include <QWebNotificationPresenter>

#include <functional>

// One Notification a page made, on its way to the desktop's notification
// service. Only a trusted document's reach the desktop; a click comes back as
// the engine's click event on the page's Notification object.
class XNotificationPresenter : public QWebNotificationPresenter {
    Q_OBJECT

public:
    // What to try when no service answers (the tray icon's message): whether it
    // was shown.
    using Fallback = std::function<bool(const QString &title, const QString &body)>;
    static void setFallback(const Fallback &fallback);

    // Made and destroyed in its own file, the one built without type information.
    XNotificationPresenter();
    ~XNotificationPresenter() override;
    void showNotification(const QWebNotificationData *data) override;

private:
    uint m_id = 0;
};
