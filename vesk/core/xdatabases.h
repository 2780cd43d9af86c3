#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

// The SQLite connections of one API object, under the ids its page chose. Each
// id has a connection of its own, so two pages that use the same id never share
// one. Everything is closed with the object.
class XDatabases {
public:
    XDatabases() = default;
    ~XDatabases();
    XDatabases(const XDatabases &) = delete;
    XDatabases &operator=(const XDatabases &) = delete;

    // Opens (or creates) the file as connection id, closing any earlier one of that id.
    // On failure error gets the driver's text.
    bool connect(const QString &fileName, const QString &id, QString *error = nullptr);
    void close(const QString &id);
    bool contains(const QString &id) const { return m_connections.contains(id); }

    // Rows as maps from column name to value; empty when the id is unknown, the
    // statement fails or reading its rows broke off. params: a list for "?"
    // placeholders, a map for ":name" ones, or invalid for none; they must match
    // the placeholders exactly, and nothing of an earlier call stays bound.
    QVariantList query(const QString &sql, const QString &id, const QVariant &params = QVariant(),
                       QString *error = nullptr);
    // query's rows packed for a fast crossing into a page. cells: a double per
    // value, row by row in the names' order, then a kind byte per value
    // (Cell); a text value's double is its length in UTF-16 units, its
    // characters the next ones of text. False, with table empty, where query
    // gives no rows for a failure.
    enum Cell : char { NullCell, NumberCell, TextCell };
    struct Table {
        QStringList names; // as query's maps have them: sorted, each once
        int rows = 0;
        QByteArray cells;
        QString text;
    };
    bool queryTable(const QString &sql, const QString &id, const QVariant &params, Table *table,
                    QString *error = nullptr);
    // The row id of the row the statement inserted: 0 for an unknown id, invalid
    // when the statement failed or changed no row.
    QVariant insert(const QString &sql, const QString &id, const QVariant &params = QVariant(),
                    QString *error = nullptr);
    // Runs the statement once per entry of rows (each a list or a map, as
    // params above) inside one savepoint: the number of rows the statement
    // changed in all, or invalid, with nothing kept, when any entry fails.
    QVariant insertMany(const QString &sql, const QString &id, const QVariant &rows, QString *error = nullptr);

    // How a column value reaches a page: NULL as a null value, BLOB as Base64 text.
    static QVariant toPageValue(const QVariant &value);

    // Why the last connect, query or insert of this id failed, as the driver
    // says it; empty after one that worked (an insert that changed no row did).
    QString lastError(const QString &id) const;

private:
    // Defined where it is used, so the SQLite header stays out of every includer.
    struct Connection;
    struct Statement;
    QVariantList queryRows(const QString &sql, const QString &id, const QVariant &params, Table *packed, QString *error);
    QVariant insertRow(const QString &sql, const QString &id, const QVariant &params, QString *error);
    QVariant insertRows(const QString &sql, const QString &id, const QVariant &rows, QString *error);
    void note(const QString &id, const QString &error, QString *out);

    QMap<QString, QSharedPointer<Connection>> m_connections;
    QHash<QString, QString> m_errors;
};
