#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

class QMenu;
class QSystemTrayIcon;

// The application's icon in the desktop's tray, made by a window's page and
// gone with that window. Clicks, menu entries and message clicks name page
// functions; the owner's caller turns the names into calls.
class XTrayIcon : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxMenuEntries = 256;

    using Caller = std::function<void(const QString &function)>;
    // A child of parent, which should be the window.
    XTrayIcon(const Caller &caller, QObject *parent);
    ~XTrayIcon() override;

    // The most recently made icon that still exists, for notifications that
    // have no service to go to.
    static XTrayIcon *latest();

    // False, changing nothing, when the file is not an image.
    bool setIcon(const QString &file, const QString &toolTip);
    void setOnClick(const QString &function) { m_onClick = function; }
    // Entries of the menus' form: {text, onClick, icon, separator, enabled};
    // false, keeping the old menu, when the list is not one of them.
    bool setMenu(const QVariant &entries);
    // A balloon message; a click on it calls onClick. The next message replaces
    // it and calls its onClose.
    bool showMessage(const QString &title, const QString &body, const QString &onClick = QString(),
                     const QString &onClose = QString());

    QSystemTrayIcon *icon() const { return m_icon; }
    QMenu *menu() const { return m_menu; }

private:
    void activated(int reason);

    Caller m_caller;
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
    QString m_onClick;
    QString m_onMessageClick;
    QString m_onMessageClose;
};
