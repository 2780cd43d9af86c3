#pragma once

#include <QObject>
#include <QVariant>

class XAppWatcher;
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

private:
    XWebWindow *m_mainWindow = nullptr;
    XAppWatcher *m_watcher = nullptr;
};
