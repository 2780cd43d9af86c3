#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Watches a folder tree (the application's app/) and reports a change once the
// writes have settled, so an editor saving several files reloads pages once.
class XAppWatcher : public QObject {
    Q_OBJECT

public:
    explicit XAppWatcher(const QString &root, int debounceMs = 300, QObject *parent = nullptr);

    QString root() const { return m_root; }

Q_SIGNALS:
    void changed();

private:
    void rescan();
    void touched();

    QString m_root;
    QFileSystemWatcher m_watcher;
    QTimer m_debounce;
};
