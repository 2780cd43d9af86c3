#include "app/vesk.h"

#include "api/xjavascriptapi.h"
#include "app/xappwatcher.h"
#include "core/xpagepath.h"
#include "core/xsettingsstore.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

static Vesk *s_current = nullptr;

Vesk *Vesk::current()
{
    return s_current;
}

Vesk::Vesk(const QString &startPage)
    : QObject(nullptr)
{
    // Not a child of the main window: pages of other windows still read and
    // write settings after the main window has gone.
    XSettingsStore::open(QStringLiteral("config.ini"));
    s_current = this;
    XJavaScriptAPI::serveBindings();
    m_mainWindow = new XWebWindow;

    const QString path =
        XPagePath::resolve(m_mainWindow->applicationDirectory(), m_mainWindow->baseDirectory(), startPage);
    if (QFileInfo::exists(path)) {
        m_mainWindow->load(startPage);
    } else {
        const QByteArray message =
            "vesk: no application to run: " + QFileInfo(path).absoluteFilePath().toLocal8Bit() + " does not exist\n";
        fputs(message.constData(), stderr);
        m_mainWindow->showMissingApplication(QFileInfo(path).absoluteFilePath());
    }
    m_mainWindow->showMaximized();
}

Vesk::~Vesk()
{
    delete m_mainWindow;
    // Windows made by pages delete themselves when closed; the ones still open
    // at the end go here, before the application object they need.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->parent() && (qobject_cast<XWebWindow *>(window) || qobject_cast<XWebView *>(window)))
            delete window;
    }
    XSettingsStore::close();
    if (s_current == this)
        s_current = nullptr;
}

QVariant Vesk::setting(const QString &key, const QVariant &defaultValue) const
{
    return XSettingsStore::value(key, defaultValue);
}

void Vesk::setSetting(const QString &key, const QVariant &value)
{
    XSettingsStore::setValue(key, value);
}

void Vesk::watchApplication(int debounceMs)
{
    if (m_watcher)
        return;
    m_watcher = new XAppWatcher(m_mainWindow->applicationDirectory(), debounceMs, this);
    connect(m_watcher, &XAppWatcher::changed, this, [] {
        fputs("vesk: app/ changed, reloading\n", stderr);
        reloadAllPages();
    });
}

void Vesk::reloadAllPages()
{
    // All menus first: a popup builds entries on its opener's window, which
    // may come later in the list.
    // Menus are top-level widgets too: the windows are gathered before any goes.
    QList<XWebWindow *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<XWebWindow *>(widget))
            windows.append(window);
    }
    for (XWebWindow *window : qAsConst(windows))
        window->resetMenus();
    // Child windows and popups are windows of their own: each reloads its page.
    // Asked again: the menus just deleted were widgets too.
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget *widget : widgets) {
        if (auto *window = qobject_cast<XWebWindow *>(widget))
            window->view()->reload();
        else if (auto *view = qobject_cast<XWebView *>(widget); view && view->isWindow())
            view->reload();
    }
}
