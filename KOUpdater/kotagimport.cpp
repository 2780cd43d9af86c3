#include "kotagimport.h"

#include "kotagimportrun.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 maxDictionaryBytes = qint64(256) << 20;

// A shared connection name would let a second import, or a page's own
// connection of the same name, replace the connection under a running import.
QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("koupdater-import-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

// Regular files only: opening a FIFO waits for a writer that may never come,
// and the page's exit waits for the import. The check is made on the opened
// file, so nothing can be swapped in between.
bool openRegularFile(QFile *file, const QString &path, QString *error)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot read dictionary %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("cannot read dictionary %1: not a regular file").arg(path);
        return false;
    }
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Text, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("cannot read dictionary %1: %2").arg(path, file->errorString());
        return false;
    }
    return true;
#else
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        *error = QStringLiteral("cannot read dictionary %1: not a regular file").arg(path);
        return false;
    }
    file->setFileName(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read dictionary %1: %2").arg(path, file->errorString());
        return false;
    }
    return true;
#endif
}

// Real dictionaries are tens of megabytes; the text is held whole, twice its
// size in memory. A file may grow while it is read, so the reading itself
// stops past the limit too.
bool readDictionary(const QString &path, QString *text, QString *error)
{
    QFile file;
    if (!openRegularFile(&file, path, error))
        return false;
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
