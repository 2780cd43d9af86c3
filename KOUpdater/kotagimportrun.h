#pragma once

#include "kotagimportresult.h"
#include "kotagrowcache.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <functional>

// One pass of the dictionary import over an open connection: reads the existing
// rows, then inserts, updates, confirms and sweeps inside one write transaction.
// Values are always bound, so a quote or SQL text in the dictionary is stored as it stands.
class KOTagImportRun {
public:
    KOTagImportRun(const QSqlDatabase &db, const QString &dictionary, KOTagImportResult *result);

    void setProgressHandler(qint64 interval, std::function<void(qint64)> handler);
    void setCancelFlag(const std::atomic<bool> *cancelled) { m_cancelled = cancelled; }

    // Fills the result; on failure the transaction is rolled back.
    bool execute();

private:
    enum Table { Tag, TagText, TagRelation };
    enum Number { IsNumber, NotANumber, NumberFailed };

    // Rows of one multi-row statement: flushed when full, prepared once for the full size.
    struct Batch {
        Table table;
        QString head;
        QString row;
        QString tail;
        int fullRows;
        int valuesPerRow;
        QVector<QVariant> values;
        int rows = 0;
        QSqlQuery full;
        bool fullPrepared = false;
        bool inserts = true;
    };

    bool loadRows();
    bool exec(const QString &statement, Table table, qint64 *affected = nullptr);
    Number toNumber(const QStringRef &field, QVariant *value);
    bool handleRecord(const QStringRef &record);
    bool handleKeyword(const QStringRef &rest);
    bool handleText(const QStringRef &rest);
    bool handleRelation(const QStringRef &rest);
    bool add(Batch &batch, std::initializer_list<QVariant> values);
    bool update(KOTagRowCache &rows, QSqlQuery &statement, std::initializer_list<QVariant> values, qint64 realId,
                Table table);
    bool confirm(KOTagRowCache &rows, Batch &batch, qint64 realId);
    bool flush(Batch &batch);
    bool failed(Table table, const QString &error);
    bool relationFailed(const QString &error);
    bool fail(const QString &error);
    void initBatch(Batch &batch, Table table, const QString &head, const QString &row, const QString &tail,
                   int fullRows, bool inserts);

    QSqlDatabase m_db;
    // A copy: the caller's string may not outlive the run.
    const QString m_dictionary;
    KOTagImportResult *m_result;
    qint64 m_progressInterval = 0;
    std::function<void(qint64)> m_progress;
    bool m_inTransaction = false;
    const std::atomic<bool> *m_cancelled = nullptr;

    KOTagRowCache m_tags;
    KOTagRowCache m_texts;
    Batch m_tagInserts;
    Batch m_textInserts;
    Batch m_relationInserts;
    Batch m_tagConfirms;
    Batch m_textConfirms;
    QSqlQuery m_tagUpdate;
    QSqlQuery m_textUpdate;
    QVector<qint64> m_rowids;
    QSqlQuery m_real;
    bool m_realPrepared = false;
    QHash<QString, double> m_decimals;
};
