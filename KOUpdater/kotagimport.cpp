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

// Real dictionaries are tens of megabytes; the text is held whole, twice its
// size in memory. The size of a FIFO or a device says nothing, so the reading
// itself stops past the limit.
bool readDictionary(const QString &path, QString *text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read dictionary %1: %2").arg(path, file.errorString());
        return false;
    }
    const QString tooLarge =
        QStringLiteral("dictionary %1 is larger than %2 MiB").arg(path).arg(maxDictionaryBytes >> 20);
    const qint64 size = file.size();
    if (size > maxDictionaryBytes) {
        *error = tooLarge;
        return false;
    }
    QByteArray bytes;
    bytes.reserve(int(size));
    constexpr qint64 chunk = qint64(1) << 20;
    for (;;) {
        const int filled = bytes.size();
        const qint64 wanted = qMin(chunk, maxDictionaryBytes + 1 - filled);
        bytes.resize(filled + int(wanted));
        const qint64 got = file.read(bytes.data() + filled, wanted);
        bytes.resize(filled + int(qMax<qint64>(got, 0)));
        if (got < 0 || file.error() != QFileDevice::NoError) {
            *error = QStringLiteral("cannot read dictionary %1: %2").arg(path, file.errorString());
            return false;
        }
        if (bytes.size() > maxDictionaryBytes) {
            *error = tooLarge;
            return false;
        }
        if (got == 0)
            break;
    }
    QTextStream in(bytes);
    in.setCodec("UTF-8");
    *text = in.readAll();
    return true;
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

void KOTagImport::setCancelFlag(const std::atomic<bool> *cancelled)
{
    m_cancelled = cancelled;
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
    QString readError;
    if (!readDictionary(m_path, &text, &readError)) {
        result.status = KOTagImportResult::DictionaryUnreadable;
        result.error = readError;
        result.seconds = timer.elapsed() / 1000.0;
        return result;
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
            pass.setCancelFlag(m_cancelled);
            pass.execute();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);

    result.seconds = timer.elapsed() / 1000.0;
    return result;
}
