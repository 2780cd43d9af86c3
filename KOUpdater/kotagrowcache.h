#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>

#include <limits>

// Answers "SELECT <columns> FROM <table> WHERE RealID='<id>' LIMIT 0,1" from
// memory, exactly as SQLite would at that moment, and names the rows that
// "WHERE RealID=<id>" reaches, so that neither costs a table scan per record
// when RealID has no index. The rows are read once, then kept in step with every
// insert and update the import makes. Matching follows SQLite's comparison rules
// for the declared type of RealID. When several rows share a RealID, the statement
// itself answers: an index on (RealID, ...) decides which row comes first.
class KOTagRowCache {
public:
    enum Lookup { Missing, Same, Different, Failed };

    KOTagRowCache(const QString &table, const QStringList &columns);

    bool load(const QSqlDatabase &db);

    // realId is the field as written in the dictionary (an integer), value its number.
    // `fields` holds one text per column, compared as strings like the columns read back.
    Lookup lookup(const QStringRef &realId, qint64 value, const QStringRef *fields);

    // The rowids "WHERE RealID=<value>" (an unquoted integer) reaches, ascending.
    void appendRowsFor(qint64 value, QVector<qint64> *rowids);

    // After an insert: takes in the rows added since the last call.
    bool noteInserted();
    // After the rows of appendRowsFor(value) were updated: read again when next asked for.
    void noteUpdated(qint64 value);

    QString error() const { return m_error; }

private:
    enum KeyMode { NumericKeys, TextKeys, BlobKeys };

    struct Entry {
        qint64 rowid = 0;
        int values = -1; // where the first row's columns start in m_values; -1 until read
        QVector<qint64> later; // further rows with the same RealID, rarely any
    };

    Entry *find(const QStringRef &realId, qint64 value);
    Entry *findForUpdate(qint64 value);
    void insertRow(qint64 rowid, const QVariant &realId, int values);
    bool readValues(Entry *entry);
    Lookup lookupFirst(const QStringRef &realId, const QStringRef *fields);
    bool fail(const QSqlQuery &query);
    int appendValues(const QSqlQuery &query, int first);
    bool sameValues(int values, const QStringRef *fields) const;

    QString m_table;
    QStringList m_columns;
    QSqlDatabase m_db;
    KeyMode m_mode = NumericKeys;
    QHash<qint64, Entry> m_byNumber; // integral numbers stored in RealID
    QHash<QString, Entry> m_byText; // texts stored in RealID
    QString m_values; // columns of all rows read: per column its length (two units), then its text
    qint64 m_maxRowid = std::numeric_limits<qint64>::min();
    QSqlQuery m_readOne;
    QSqlQuery m_readNew;
    QSqlQuery m_readFirst;
    QString m_typeFilter;
    QString m_error;
};
