#pragma once

#include "kotagimportresult.h"

#include <QString>

#include <atomic>
#include <functional>

// Brings the application's tables tag, tagtext and tagrelation into line with a
// keyword dictionary file. Safe to run on any thread: each import uses its own
// database connection, and it either completes or leaves the database as it was.
class KOTagImport {
public:
    KOTagImport(const QString &pathDb, const QString &path);

    // Called on the importing thread with 0 once the existing rows are read and
    // before the write lock is taken, then every `interval` records, inside the
    // write transaction, with the number of records handled so far.
    void setProgressHandler(qint64 interval, std::function<void(qint64)> handler);
    // Once the flag is set, the import stops at the next check and rolls back.
    void setCancelFlag(const std::atomic<bool> *cancelled);

    KOTagImportResult run();

    static KOTagImportResult importDictionary(const QString &pathDb, const QString &path);

private:
    QString m_pathDb;
    QString m_path;
    qint64 m_progressInterval = 0;
    std::function<void(qint64)> m_progress;
    const std::atomic<bool> *m_cancelled = nullptr;
};
