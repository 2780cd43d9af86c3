#include "window/xtrayicon.h"

#include "core/xdesktopnotifier.h"

#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QList>
#include <QMenu>
#include <QSystemTrayIcon>

static QList<QPointer<XTrayIcon>> &allIcons()
{
    static QList<QPointer<XTrayIcon>> icons;
    return icons;
}

XTrayIcon::XTrayIcon(const Caller &caller, QObject *parent)
    : QObject(parent)
    , m_caller(caller)
    , m_icon(new QSystemTrayIcon(this))
{
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        activated(int(reason));
    });
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, [this] {
        const QString function = m_onMessageClick;
        m_onMessageClick.clear();
        m_onMessageClose.clear();
        if (!function.isEmpty())
            m_caller(function);
    });
    allIcons().append(this);
}

XTrayIcon::~XTrayIcon()
{
    allIcons().removeAll(this);
    // The menu has no parent: the tray must not own it.
    delete m_menu;
}

XTrayIcon *XTrayIcon::latest()
{
    QList<QPointer<XTrayIcon>> &icons = allIcons();
    icons.removeAll(nullptr);
    return icons.isEmpty() ? nullptr : icons.last().data();
}

static bool isImage(const QString &file)
{
    const QFileInfo info(file);
    return info.isFile() && info.isReadable() && QImageReader(file).canRead();
}

bool XTrayIcon::setIcon(const QString &file, const QString &toolTip)
{
    if (!isImage(file))
        return false;
    m_icon->setIcon(QIcon(file));
    m_icon->setToolTip(XDesktopNotifier::cut(toolTip, XDesktopNotifier::MaxTitle));
    m_icon->show();
    return true;
}

bool XTrayIcon::setMenu(const QVariant &entries)
{
    if (entries.userType() != QMetaType::QVariantList)
        return false;
    const QVariantList list = entries.toList();
    if (list.size() > MaxMenuEntries)
        return false;
    for (const QVariant &entry : list) {
        if (entry.userType() != QMetaType::QVariantMap)
            return false;
    }
    auto *menu = new QMenu;
    for (const QVariant &entry : list) {
        const QVariantMap map = entry.toMap();
        if (map.value(QStringLiteral("separator")).toBool()) {
            menu->addSeparator();
            continue;
        }
        const QString icon = map.value(QStringLiteral("icon")).toString();
        QAction *action = menu->addAction(isImage(icon) ? QIcon(icon) : QIcon(),
                                          XDesktopNotifier::cut(map.value(QStringLiteral("text")).toString(),
                                                                XDesktopNotifier::MaxTitle));
        action->setEnabled(map.value(QStringLiteral("enabled"), true).toBool());
        const QString onClick = map.value(QStringLiteral("onClick")).toString();
        if (!onClick.isEmpty())
            connect(action, &QAction::triggered, this, [this, onClick] { m_caller(onClick); });
    }
    m_icon->setContextMenu(list.isEmpty() ? nullptr : menu);
    delete m_menu;
    m_menu = list.isEmpty() ? nullptr : menu;
    if (!m_menu)
        delete menu;
    return true;
}

bool XTrayIcon::showMessage(const QString &title, const QString &body, const QString &onClick,
                            const QString &onClose)
{
    if (!m_icon->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return false;
    const QString replaced = m_onMessageClose;
    m_onMessageClick = onClick;
    m_onMessageClose = onClose;
    if (!replaced.isEmpty())
        m_caller(replaced);
    m_icon->showMessage(XDesktopNotifier::cut(title, XDesktopNotifier::MaxTitle),
                        XDesktopNotifier::cut(body, XDesktopNotifier::MaxBody));
    return true;
}

void XTrayIcon::activated(int reason)
{
    // The context click opens the menu; every other click is the page's.
    if (reason != QSystemTrayIcon::Context && !m_onClick.isEmpty())
        m_caller(m_onClick);
}
