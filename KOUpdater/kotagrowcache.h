#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>

// Answers "SELECT <columns> FROM <table> WHERE RealID='<id>' LIMIT 0,1" from
// memory, exactly as SQLite would at that moment, and names the rows that
// "WHERE RealID=<id>" reaches, so that neither costs a table scan per record
// when RealID has no index. The rows are read once, then kept in step with every
// insert and update the import makes. Matching follows SQLite's comparison rules
// for the declared type of RealID; among rows with the same RealID the first by
// rowid answers the look-up, as in the scan the statement would do.
class KOTagRowCache
{
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

    struct Entry
    {
        qint64 rowid = 0;
        QString values;        // of the first row: each column as length (two units) + text; null until read
        QVector<qint64> later; // further rows with the same RealID, rarely any
    };

    Entry *find(const QStringRef &realId, qint64 value);
    Entry *findForUpdate(qint64 value);
    void insertRow(qint64 rowid, const QString &type, const QVariant &realId, const QString &values);
    bool readValues(Entry *entry);
    bool fail(const QSqlQuery &query);
    QString encodeValues(const QSqlQuery &query, int first) const;
    bool sameValues(const QString &encoded, const QStringRef *fields) const;

    QString m_table;
    QStringList m_columns;
    QSqlDatabase m_db;
    KeyMode m_mode = NumericKeys;
    QHash<qint64, Entry> m_byNumber; // integral numbers stored in RealID
    QHash<QString, Entry> m_byText;  // texts stored in RealID
    qint64 m_maxRowid = 0;
    bool m_empty = true;
    QSqlQuery m_readOne;
    QSqlQuery m_readNew;
    QString m_error;
};
