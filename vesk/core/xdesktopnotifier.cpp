#include "core/xdesktopnotifier.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

static const char Service[] = "org.freedesktop.Notifications";
static const char Path[] = "/org/freedesktop/Notifications";
static const char Interface[] = "org.freedesktop.Notifications";

XDesktopNotifier::XDesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    m_bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface), QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(QLatin1String(Service), QLatin1String(Path), QLatin1String(Interface), QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

XDesktopNotifier *XDesktopNotifier::shared()
{
    // Gone with the application object: what the engine frees after it finds none.
    static QPointer<XDesktopNotifier> notifier;
    if (!notifier && QCoreApplication::instance())
        notifier = new XDesktopNotifier(QDBusConnection::sessionBus(), QCoreApplication::instance());
    return notifier;
}

bool XDesktopNotifier::isAvailable() const
{
    if (!isReachable())
        return false;
    QDBusConnectionInterface *names = m_bus.interface();
    return names
           && (names->isServiceRegistered(QLatin1String(Service)).value()
               || names->activatableServiceNames().value().contains(QLatin1String(Service)));
}

bool XDesktopNotifier::isReachable() const
{
    return m_bus.isConnected() && !(m_stalledSince.isValid() && !m_stalledSince.hasExpired(StallPauseMs));
}

QString XDesktopNotifier::cut(const QString &text, int length)
{
    if (text.size() <= length)
        return text;
    // Never half a surrogate pair.
    int end = length - 1;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

uint XDesktopNotifier::notify(const QString &title, const QString &body, const QString &iconFile)
{
    if (!isReachable())
        return 0;
    // A service the bus starts on demand needs the time it takes to start.
    QDBusConnectionInterface *names = m_bus.interface();
    const bool running = names && names->isServiceRegistered(QLatin1String(Service)).value();
    QString icon;
    const QFileInfo info(iconFile);
    if (!iconFile.isEmpty() && info.isFile() && info.isReadable())
        icon = QUrl::fromLocalFile(info.absoluteFilePath()).toString();
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                       QLatin1String(Interface), QStringLiteral("Notify"));
    const QString appName = QCoreApplication::applicationName();
    call << appName << uint(0) << icon << cut(title, MaxTitle) << cut(body, MaxBody)
         << QStringList{QStringLiteral("default"), QStringLiteral("Open")} << QVariantMap() << int(-1);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, running ? CallTimeoutMs : StartTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
            m_stalledSince.start();
        return 0;
    }
    const uint id = reply.arguments().first().toUInt();
    if (id == 0)
        return 0;
    m_tracked.removeAll(id);
    m_tracked.append(id);
    while (m_tracked.size() > MaxTracked)
        Q_EMIT closed(m_tracked.takeFirst());
    return id;
}

void XDesktopNotifier::close(uint id)
{
    if (!m_tracked.contains(id))
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                                       QLatin1String(Interface), QStringLiteral("CloseNotification"));
    call << id;
    m_bus.call(call, QDBus::NoBlock);
}

void XDesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (action == QLatin1String("default") && m_tracked.contains(id))
        Q_EMIT clicked(id);
}

void XDesktopNotifier::onNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    forget(id);
}

void XDesktopNotifier::forget(uint id)
{
    if (m_tracked.removeAll(id))
        Q_EMIT closed(id);
}
