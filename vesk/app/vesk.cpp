#include "app/vesk.h"

#include "api/xjavascriptapi.h"
#include "app/xappwatcher.h"
#include "core/xmanifest.h"
#include "core/xsingleinstance.h"
#include "core/xsystemutil.h"
#include "core/xpagepath.h"
#include "core/xsettingsstore.h"
#include "core/xwindowstate.h"
#include "platform/xplatform.h"
#include "web/xwebsettings.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>

static Vesk *s_current = nullptr;

Vesk *Vesk::current()
{
    return s_current;
}

Vesk::Vesk(const QString &startPage)
    : QObject(nullptr)
{
    XManifest manifest;
    manifest.load(XPlatform::applicationDirectory() + QStringLiteral("/vesk.json"));
    for (const QString &problem : manifest.problems())
        fputs(qPrintable(QStringLiteral("vesk: ") + problem + QLatin1Char('\n')), stderr);
    applyIdentity(manifest);
    XWebSettings::enablePersistentStorage(webStorageDirectory(!manifest.id().isEmpty()));
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
    applyFirstWindow(manifest);
    if (XSingleInstance *instance = XSingleInstance::listening()) {
        // A later start brings the application to the front, whether or not a page listens.
        const QPointer<XWebWindow> window = m_mainWindow;
        connect(instance, &XSingleInstance::secondInstance, this, [window] {
            if (!window)
                return;
            if (window->isMinimized())
                window->showNormal();
            window->show();
            window->raise();
            window->activateWindow();
        });
    }
}

bool Vesk::handOffToRunningInstance()
{
    XManifest manifest;
    manifest.load(XPlatform::applicationDirectory() + QStringLiteral("/vesk.json"));
    if (!manifest.singleInstance())
        return false;
    // Without an id, the application directory tells applications apart.
    QString key = manifest.id();
    if (key.isEmpty()) {
        const QByteArray dir = QFileInfo(XPlatform::applicationDirectory()).canonicalFilePath().toUtf8();
        key = QStringLiteral("dir-")
            + QString::fromLatin1(QCryptographicHash::hash(dir, QCryptographicHash::Sha1).toHex().left(16));
    }
    auto *instance = new XSingleInstance(XSingleInstance::socketPathFor(key), qApp);
    switch (instance->start(XSystemUtil::passedArguments(), QDir::currentPath())) {
    case XSingleInstance::Listening:
        return false;
    case XSingleInstance::HandedOff:
        delete instance;
        return true;
    case XSingleInstance::Failed:
        break;
    }
    fputs(qPrintable(QStringLiteral("vesk: single instance: %1; starting another\n").arg(instance->errorText())),
          stderr);
    delete instance;
    return false;
}

void Vesk::applyIdentity(const XManifest &manifest)
{
    // The id names the data folder (getDirAppData, web storage) and the
    // temporary files; the name is what people read.
    if (!manifest.id().isEmpty())
        QCoreApplication::setApplicationName(manifest.id());
    if (!manifest.name().isEmpty())
        QGuiApplication::setApplicationDisplayName(manifest.name());
    if (manifest.icon().isEmpty())
        return;
    const QString icon = XPlatform::applicationDirectory() + QLatin1Char('/') + manifest.icon();
    const QIcon loaded(icon);
    if (QFileInfo(icon).isFile() && !loaded.pixmap(QSize(32, 32)).isNull())
        QApplication::setWindowIcon(loaded);
    else
        fputs(qPrintable(QStringLiteral("vesk: %1: the manifest's icon is not a readable image, ignored\n")
                             .arg(QFileInfo(icon).absoluteFilePath())),
              stderr);
}

void Vesk::applyFirstWindow(const XManifest &manifest)
{
    if (!manifest.windowTitle().isEmpty())
        m_mainWindow->setWindowTitle(manifest.windowTitle());
    else if (!manifest.name().isEmpty())
        m_mainWindow->setWindowTitle(manifest.name());
    m_rememberWindow = manifest.rememberWindow();
    if (m_rememberWindow) {
        connect(m_mainWindow, &XWebWindow::closing, this, &Vesk::saveWindowState);
        if (restoreWindowState())
            return;
    }
    if (manifest.windowSize().isValid()) {
        m_mainWindow->resize(manifest.windowSize());
        m_mainWindow->show();
    } else {
        m_mainWindow->showMaximized();
    }
}

QString Vesk::windowStateFile()
{
    // The folder getDirAppData names, and web storage lives in.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/window.json");
}

bool Vesk::restoreWindowState()
{
    XWindowState state;
    if (!state.load(windowStateFile()))
        return false;
    QList<QRect> screens;
    QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        screens << primary->availableGeometry();
    const QList<QScreen *> all = QGuiApplication::screens();
    for (QScreen *screen : all) {
        if (screen != primary)
            screens << screen->availableGeometry();
    }
    m_mainWindow->setGeometry(state.placedOn(screens));
    state.isMaximized() ? m_mainWindow->showMaximized() : m_mainWindow->show();
    return true;
}

void Vesk::saveWindowState()
{
    // The normal geometry, so a maximised window comes back to it when restored.
    const XWindowState state(m_mainWindow->normalGeometry(), m_mainWindow->isMaximized());
    if (state.isValid() && !state.save(windowStateFile()))
        fputs(qPrintable(QStringLiteral("vesk: %1: the window's state could not be saved\n").arg(windowStateFile())),
              stderr);
}

QString Vesk::webStorageDirectory(bool hasId)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (hasId)
        return data + QStringLiteral("/web-storage");
    // Every local page has the one origin file://, so the folder is all that
    // keeps one application's storage from another's.
    const QString appDir = QFileInfo(XPlatform::applicationDirectory()).canonicalFilePath();
    const QByteArray key = QCryptographicHash::hash(
        (appDir.isEmpty() ? QDir::currentPath() : appDir).toUtf8(), QCryptographicHash::Sha1);
    return data + QStringLiteral("/web-storage/") + QString::fromLatin1(key.toHex().left(16));
}

Vesk::~Vesk()
{
    // Ended without a close (app.exit, a signal): the window is still up.
    if (m_rememberWindow && m_mainWindow->isVisible())
        saveWindowState();
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
