#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>

// Taskbar progress for docks and panels that read the launcher-entry interface
// (com.canonical.Unity.LauncherEntry): an Update signal on the session bus,
// keyed by the application's desktop file. Nobody answers it, so it costs
// nothing where no dock listens.
class XLauncherEntry {
public:
    static constexpr const char *ObjectPath = "/io/vesk/LauncherEntry";

    explicit XLauncherEntry(const QDBusConnection &bus = QDBusConnection::sessionBus());

    // "<id>.desktop" for a valid manifest id (the file vesk-pack installs),
    // else vesk's own "vesk.desktop".
    static QString desktopFileId(const QString &manifestId);
    static QString applicationUri(const QString &desktopFileId);
    // The properties for a taskbar state (0 none, 1 busy, 2 normal, 4 error,
    // 8 paused) and a value of 0 to total.
    static QVariantMap properties(int state, int completed, int total);

    void setDesktopFileId(const QString &id) { m_desktopFileId = id; }
    QString desktopFileId() const { return m_desktopFileId; }
    // Whether the signal went out.
    bool update(int state, int completed, int total);

private:
    QDBusConnection m_bus;
    QString m_desktopFileId;
};
