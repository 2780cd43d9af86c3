#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

// The desktop's notification service (org.freedesktop.Notifications) on a
// session bus: shows notifications with a "default" action and tells which of
// its own were clicked or closed. Only ids it sent are reported, and at most
// MaxTracked of them are remembered; the oldest is forgotten first.
class XDesktopNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxTitle = 256;
    static constexpr int MaxBody = 4096;
    static constexpr int MaxTracked = 256;
    // A service that does not answer in time counts as absent for a while, so
    // a stalled peer cannot hold the caller for every notification.
    static constexpr int CallTimeoutMs = 2000;
    static constexpr int StallPauseMs = 30000;
    static constexpr int StartTimeoutMs = 25000;

    explicit XDesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);
    // One per process, on the session bus; null without an application object.
    static XDesktopNotifier *shared();

    // Whether a notification service owns its name on the bus or the bus can
    // start one.
    bool isAvailable() const;
    // The service's id for the notification, 0 when none could be shown.
    // Longer texts are cut; an icon that is not a readable file is left out.
    uint notify(const QString &title, const QString &body, const QString &iconFile);
    void close(uint id);
    bool isTracked(uint id) const { return m_tracked.contains(id); }
    int trackedCount() const { return m_tracked.size(); }

    static QString cut(const QString &text, int length);

Q_SIGNALS:
    void clicked(uint id);
    // Also for a notification forgotten to make room: nothing more comes for it.
    void closed(uint id);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);

private:
    bool isReachable() const;
    void forget(uint id);

    QDBusConnection m_bus;
    QList<uint> m_tracked;
    QElapsedTimer m_stalledSince;
};
