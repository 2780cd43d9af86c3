#include "app/xappwatcher.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

XAppWatcher::XAppWatcher(const QString &root, int debounceMs, QObject *parent)
    : QObject(parent)
    , m_root(QFileInfo(root).absoluteFilePath())
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(debounceMs);
    connect(&m_debounce, &QTimer::timeout, this, [this] {
        rescan();
        Q_EMIT changed();
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &XAppWatcher::touched);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &XAppWatcher::touched);
    rescan();
}

void XAppWatcher::touched()
{
    // Restarting the timer on every event is the debounce.
    m_debounce.start();
}

void XAppWatcher::rescan()
{
    // Editors replace files by renaming, which ends the watch on the old inode:
    // watch every path again, new files and folders included.
    QSet<QString> paths {m_root};
    QDirIterator it(m_root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.insert(it.next());
    const QStringList watchedList = m_watcher.files() + m_watcher.directories();
    const QSet<QString> watched(watchedList.cbegin(), watchedList.cend());
    QStringList gone;
    for (const QString &path : watched) {
        if (!paths.contains(path))
            gone << path;
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    QStringList fresh;
    for (const QString &path : paths) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            fresh << path;
    }
    if (!fresh.isEmpty())
        m_watcher.addPaths(fresh);
}
