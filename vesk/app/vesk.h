#pragma once

#include <QObject>
#include <QVariant>

class XAppWatcher;
class XManifest;
class XWebWindow;

// The application object: owns the main window and opens the settings store.
// One per process.
class Vesk : public QObject {
    Q_OBJECT

public:
    explicit Vesk(const QString &startPage);
    // Deletes the main window and every other window still open.
    ~Vesk() override;

    // The application object now running, or null (windows made without one).
    static Vesk *current();

    XWebWindow *mainWindow() const { return m_mainWindow; }
    QVariant setting(const QString &key, const QVariant &defaultValue) const;
    void setSetting(const QString &key, const QVariant &value);

    // Development aid: reload every window's page when a file under app/ changes.
    void watchApplication(int debounceMs = 300);
    // Reloads the pages of every window and popup.
    static void reloadAllPages();

    // Where the engine keeps web storage: in the application's data folder when
    // the manifest names an id; otherwise one folder per application directory
    // under vesk's own, so applications without an id share nothing either.
    static QString webStorageDirectory(bool hasId);

    // When the manifest asks for one instance: hands this start's arguments and
    // working directory to the one running and says true (this process should
    // end), or makes this process the one that later starts reach.
    static bool handOffToRunningInstance();

private:
    // What app/vesk.json says about the application, before any page exists.
    static void applyIdentity(const XManifest &manifest);
    void applyFirstWindow(const XManifest &manifest);
    // "rememberWindow": window.json in the application's data folder.
    static QString windowStateFile();
    bool restoreWindowState();
    void saveWindowState();

    XWebWindow *m_mainWindow = nullptr;
    XAppWatcher *m_watcher = nullptr;
    bool m_rememberWindow = false;
};
