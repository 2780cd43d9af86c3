#include "koupdaterthread.h"

#include "kotagimport.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <map>
#include <memory>

namespace {

// One lock per database file, kept for the life of the process: the library
// is never unloaded and the files a program imports into are few.
QMutex *databaseLock(const QString &pathDb)
{
    static QMutex tableLock;
    static std::map<QString, std::unique_ptr<QMutex>> locks;
    const QFileInfo info(pathDb);
    const QString key = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    QMutexLocker locker(&tableLock);
    std::unique_ptr<QMutex> &lock = locks[key];
    if (!lock)
        lock = std::make_unique<QMutex>();
    return lock.get();
}

} // namespace

KOUpdaterThread::KOUpdaterThread(QWebView *view, const QString &pathDb, const QString &path, QObject *parent)
    : QThread(parent)
    , m_view(view)
    , m_pathDb(pathDb)
    , m_path(path)
{
}

void KOUpdaterThread::run()
{
    QMutexLocker locker(databaseLock(m_pathDb));
    if (m_cancelled) {
        m_result.status = KOTagImportResult::DatabaseUnavailable;
        m_result.error = QStringLiteral("import cancelled before it started");
        return;
    }
    KOTagImport import(m_pathDb, m_path);
    import.setCancelFlag(&m_cancelled);
    m_result = import.run();
}
