#include "kotagimport.h"

#include "kotagimportrun.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTextStream>

namespace {

constexpr qint64 maxDictionaryBytes = qint64(256) << 20;

// A shared connection name would let a second import, or a page's own
// connection of the same name, replace the connection under a running import.
QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("koupdater-import-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

} // namespace

KOTagImport::KOTagImport(const QString &pathDb, const QString &path)
    : m_pathDb(pathDb)
    , m_path(path)
{
}

void KOTagImport::setProgressHandler(qint64 interval, std::function<void(qint64)> handler)
{
    m_progressInterval = interval;
    m_progress = std::move(handler);
}

KOTagImportResult KOTagImport::importDictionary(const QString &pathDb, const QString &path)
{
    return KOTagImport(pathDb, path).run();
}

KOTagImportResult KOTagImport::run()
{
    QElapsedTimer timer;
    timer.start();
    KOTagImportResult result;

    // The dictionary is read before the database is opened, so that a missing
    // file leaves no trace, not even a new empty database file.
    QString text;
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            result.status = KOTagImportResult::DictionaryUnreadable;
            result.error = QStringLiteral("cannot read dictionary %1: %2").arg(m_path, file.errorString());
            result.seconds = timer.elapsed() / 1000.0;
            return result;
        }
        // Real dictionaries are tens of megabytes; the text is held whole, twice its size in memory.
        if (file.size() > maxDictionaryBytes) {
            result.status = KOTagImportResult::DictionaryUnreadable;
            result.error = QStringLiteral("dictionary %1 is larger than %2 MiB").arg(m_path).arg(maxDictionaryBytes >> 20);
            result.seconds = timer.elapsed() / 1000.0;
            return result;
        }
        QTextStream in(&file);
        in.setCodec("UTF-8");
        text = in.readAll();
        if (file.error() != QFileDevice::NoError) {
            result.status = KOTagImportResult::DictionaryUnreadable;
            result.error = QStringLiteral("cannot read dictionary %1: %2").arg(m_path, file.errorString());
            result.seconds = timer.elapsed() / 1000.0;
            return result;
        }
    }

    if (!QFileInfo(m_pathDb).isFile()) {
        result.status = KOTagImportResult::DatabaseUnavailable;
        result.error = QStringLiteral("no database file %1").arg(m_pathDb);
        result.seconds = timer.elapsed() / 1000.0;
        return result;
    }

    const QString connection = uniqueConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(m_pathDb);
        // Another import or the application may hold the write lock for a while.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
        if (!db.open()) {
            result.status = KOTagImportResult::DatabaseUnavailable;
            result.error = QStringLiteral("cannot open database %1: %2").arg(m_pathDb, db.lastError().text());
        } else {
            KOTagImportRun pass(db, text, &result);
            pass.setProgressHandler(m_progressInterval, m_progress);
            pass.execute();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);

    result.seconds = timer.elapsed() / 1000.0;
    return result;
}
