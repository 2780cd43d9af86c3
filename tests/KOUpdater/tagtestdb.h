#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// A test database with the application's tag tables, on its own connection.
class TagTestDb {
public:
    // How the application declared RealID.
    // CompositeIndexRealId: indexes on (RealID, ParentID) and (RealID, TagID), which
    // order rows sharing a RealID differently from their rowids.
    enum Schema { IntegerRealId, IndexedRealId, TextRealId, UntypedRealId, CompositeIndexRealId };

    explicit TagTestDb(const QString &path);
    ~TagTestDb();

    bool create(Schema schema, bool withRelations = true);
    // Runs each statement; the first failure is returned as text, empty when all ran.
    QString exec(const QStringList &statements);
    // Each row's columns as SQL literals (so types show), joined by "|", in ID order.
    QStringList rows(const QString &table, const QString &columns);
    // Every column of the three tables, for before/after comparisons.
    QStringList dump();
    void close();

private:
    QString m_connection;
    QSqlDatabase m_db;
};
