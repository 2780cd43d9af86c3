#include "tagtestdb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

TagTestDb::TagTestDb(const QString &path)
{
    static int counter = 0;
    m_connection = QStringLiteral("tagtestdb-%1").arg(++counter);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(path);
    m_db.open();
}

TagTestDb::~TagTestDb()
{
    close();
}

void TagTestDb::close()
{
    if (m_connection.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

bool TagTestDb::create(Schema schema, bool withRelations)
{
    const QString realId = schema == TextRealId ? QStringLiteral("RealID TEXT")
        : schema == UntypedRealId               ? QStringLiteral("RealID")
                                                : QStringLiteral("RealID INTEGER");
    QStringList statements = {
        QStringLiteral(
            "CREATE TABLE tag (ID INTEGER PRIMARY KEY, ParentID INTEGER, SuperiorID INTEGER, AdjacentTags TEXT, "
            "IsCategory INTEGER, IsRedakcni INTEGER, DontIncludeParents INTEGER, IsSystem INTEGER, %1)")
            .arg(realId),
        QStringLiteral("CREATE TABLE tagtext (ID INTEGER PRIMARY KEY, TagID INTEGER, Name TEXT, SearchName TEXT, "
                       "JazykID INTEGER, IsMain INTEGER, Cislo INTEGER, IsSystem INTEGER, %1)")
            .arg(realId),
    };
    if (withRelations)
        statements << QStringLiteral(
            "CREATE TABLE tagrelation (ID INTEGER PRIMARY KEY, TagID1 INTEGER, TagID2 INTEGER, Score REAL)");
    if (schema == IndexedRealId)
        statements << QStringLiteral("CREATE INDEX tag_realid ON tag (RealID)")
                   << QStringLiteral("CREATE INDEX tagtext_realid ON tagtext (RealID)");
    if (schema == CompositeIndexRealId)
        statements << QStringLiteral("CREATE INDEX tag_realid_parent ON tag (RealID, ParentID)")
                   << QStringLiteral("CREATE INDEX tagtext_realid_tag ON tagtext (RealID, TagID)");
    return exec(statements).isEmpty();
}

QString TagTestDb::exec(const QStringList &statements)
{
    QSqlQuery query(m_db);
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return statement + QStringLiteral(": ") + query.lastError().text();
    }
    return QString();
}

QStringList TagTestDb::rows(const QString &table, const QString &columns)
{
    QStringList quoted;
    for (const QString &column : columns.split(QLatin1Char(',')))
        quoted << QStringLiteral("quote(%1)").arg(column);
    QSqlQuery query(m_db);
    QStringList result;
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY ID").arg(quoted.join(QStringLiteral("||'|'||")), table)))
        return {QStringLiteral("error: ") + query.lastError().text()};
    while (query.next())
        result << query.value(0).toString();
    return result;
}

QStringList TagTestDb::dump()
{
    QStringList result;
    for (const QString &table : {QStringLiteral("tag"), QStringLiteral("tagtext"), QStringLiteral("tagrelation")}) {
        QSqlRecord record = m_db.record(table);
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        result << table + QStringLiteral(":");
        if (!names.isEmpty())
            result << rows(table, names.join(QLatin1Char(',')));
    }
    return result;
}
