#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>

#include "window/xlibrarytable.h"

class QAction;
class QMenu;
class QWebFrame;
class XPageBinding;
class XWebView;

// A native top-level window showing one page. The page's API objects belong to
// the window's page binding.
class XWebWindow : public QMainWindow {
    Q_OBJECT

public:
    enum Modality { NotModal, Modal };

    // Not shown: whoever makes the window shows it.
    explicit XWebWindow(XWebWindow *parentWindow = nullptr, Modality modality = NotModal);
    ~XWebWindow() override;

    // "/page.html" from the application directory, "page.html" from the base directory.
    void load(const QString &file);
    // The page shown when the application's start page does not exist.
    void showMissingApplication(const QString &path);

    XWebView *view() const { return m_view; }
    QWebFrame *mainFrame() const;
    XPageBinding *binding() const { return m_binding; }
    XWebWindow *parentWindow() const;
    QString applicationDirectory() const { return m_applicationDirectory; }
    QString baseDirectory() const { return m_baseDirectory; }
    // Whether any load of the main frame has finished yet, well or not.
    bool loadHasFinished() const { return m_loadHasFinished; }
    // Libraries reached by "app://call/..." links of this window's page.
    XLibraryTable &libraries() { return m_libraries; }

    // The menu bar, built by pages through menus and actions kept by name. New
    // menus, entries and separators go to the current menu, or to the bar while
    // no menu is current.
    void switchMenu(const QString &name);
    QString currentMenuName() const { return m_currentMenu; }
    void addMenu(const QString &name, const QString &text, const QString &icon);
    void addMenuAction(const QString &name, const QString &text, const QString &onClick, const QString &icon,
                       const QString &shortcut);
    void addMenuSeparator(const QString &name);
    // Takes the action off the bar; inside a menu it stays.
    void removeMenuAction(const QString &name);
    void clearMenuBar();
    // Forgets every menu, entry and separator a page built: a reloaded page
    // builds its menus again from an empty bar.
    void resetMenus();
    QMenu *menu(const QString &name) const;
    QAction *menuAction(const QString &name) const;

    // Taskbar progress: the values are kept and sent to the launcher entry of
    // the application's desktop file (docks on Linux desktops read it).
    void enableTaskbarProgress();
    void setTaskbarProgressState(int state);
    void setTaskbarProgressValue(int completed, int total);
    WId taskbarHandle() const { return m_taskbarHandle; }
    int taskbarProgressState() const { return m_taskbarState; }
    int taskbarProgressCompleted() const { return m_taskbarCompleted; }
    int taskbarProgressTotal() const { return m_taskbarTotal; }

Q_SIGNALS:
    // A close was let through: the window hides now, still whole.
    void closing();

public Q_SLOTS:
    // Calls the page function an entry names.
    void menuTriggered(const QByteArray &name);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void publishTaskbarProgress();

    QString m_applicationDirectory;
    QString m_baseDirectory;
    XWebView *m_view = nullptr;
    XPageBinding *m_binding = nullptr;
    // Once a page has loaded, the window always asks its page before closing: a
    // window whose page never loaded has nobody to ask.
    bool m_pageLoaded = false;
    bool m_loadHasFinished = false;
    XLibraryTable m_libraries;
    // Menus belong to the bar or to their parent menu, actions to the window.
    QMap<QString, QPointer<QMenu>> m_menus;
    QMap<QString, QPointer<QAction>> m_actions;
    QString m_currentMenu;
    // Taskbar progress
    WId m_taskbarHandle = 0;
    int m_taskbarState = 0;
    int m_taskbarCompleted = 0;
    int m_taskbarTotal = 0;
};
