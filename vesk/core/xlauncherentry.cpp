#include "core/xlauncherentry.h"

#include "core/xmanifest.h"

#include <QDBusMessage>

XLauncherEntry::XLauncherEntry(const QDBusConnection &bus)
    : m_bus(bus)
    , m_desktopFileId(desktopFileId(QString()))
{
}

QString XLauncherEntry::desktopFileId(const QString &manifestId)
{
    return (XManifest::isValidId(manifestId) ? manifestId : QStringLiteral("vesk")) + QStringLiteral(".desktop");
}

QString XLauncherEntry::applicationUri(const QString &desktopFileId)
{
    return QStringLiteral("application://") + desktopFileId;
}

QVariantMap XLauncherEntry::properties(int state, int completed, int total)
{
    double progress = total > 0 ? double(qBound(0, completed, total)) / total : 0.0;
    // Busy has no amount: the dock shows the bar without one.
    if (state == 1)
        progress = 0.0;
    return {{QStringLiteral("progress"), progress},
            {QStringLiteral("progress-visible"), state != 0},
            {QStringLiteral("urgent"), state == 4}};
}

bool XLauncherEntry::update(int state, int completed, int total)
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(ObjectPath),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    signal << applicationUri(m_desktopFileId) << properties(state, completed, total);
    return m_bus.send(signal);
}
