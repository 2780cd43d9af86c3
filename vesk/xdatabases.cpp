#include "xdatabases.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QSqlDriver>

#include <sqlite3.h>

#include <cmath>

static QAtomicInt s_tables;

XDatabases::XDatabases()
    : m_serial(s_tables.fetchAndAddRelaxed(1))
{
}

XDatabases::~XDatabases()
{
    const QStringList ids = m_connections.keys();
    for (const QString &id : ids)
        close(id);
}

bool XDatabases::connect(const QString &fileName, const QString &id)
{
    close(id);
    // The id is the page's; the library's name must be unique in the process.
    const QString name = QStringLiteral("vesk-%1-%2").arg(m_serial).arg(QString::fromLatin1(id.toUtf8().toHex()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(fileName);
    const bool opened = db.open();
    Connection connection;
    connection.name = name;
    const QVariant handle = db.driver()->handle();
    if (opened && handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        connection.handle = *static_cast<sqlite3 *const *>(handle.constData());
    m_connections.insert(id, connection);
    return opened;
}

void XDatabases::close(const QString &id)
{
    if (!m_connections.contains(id))
        return;
    const QString name = m_connections.take(id).name;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A script number that is a whole number goes in as an integer, so it keeps
// SQLite's integer type and compares and prints as one.
static QVariant toBindValue(const QVariant &value, bool *ok)
{
    *ok = true;
    switch (static_cast<int>(value.type())) {
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 9007199254740992.0)
            return QVariant(static_cast<qlonglong>(d));
        return value;
    }
    case QMetaType::Bool: return QVariant(value.toBool() ? 1 : 0);
    case QMetaType::UnknownType: return QVariant(QVariant::String);
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QByteArray: return value;
    default:
        if (value.isNull())
            return QVariant(QVariant::String);
        // Arrays, objects and dates have no one obvious column value.
        *ok = false;
        return QVariant();
    }
}

bool XDatabases::run(Connection &connection, QSqlQuery &query, const QString &sql, const QVariant &params,
                     QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    auto cached = connection.statements.constFind(sql);
    if (cached != connection.statements.constEnd()) {
        query = *cached;
    } else {
        query = QSqlQuery(QSqlDatabase::database(connection.name, false));
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            return fail(query.lastError().text());
        if (connection.statements.size() >= 32)
            connection.statements.clear();
        connection.statements.insert(sql, query);
    }
    const int type = static_cast<int>(params.type());
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
        const QVariantList list = params.toList();
        for (const QVariant &value : list) {
            bool ok = false;
            const QVariant bound = toBindValue(value, &ok);
            if (!ok)
                return fail(QStringLiteral("a parameter is neither text, number, boolean nor null"));
            query.addBindValue(bound);
        }
    } else if (type == QMetaType::QVariantMap) {
        const QVariantMap map = params.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            bool ok = false;
            const QVariant bound = toBindValue(it.value(), &ok);
            if (!ok)
                return fail(QStringLiteral("the parameter %1 is neither text, number, boolean nor null").arg(it.key()));
            const QString placeholder = it.key().startsWith(QLatin1Char(':')) ? it.key() : QLatin1Char(':') + it.key();
            query.bindValue(placeholder, bound);
        }
    } else if (params.isValid() && !params.isNull()) {
        return fail(QStringLiteral("parameters must be an array or an object"));
    }
    if (!query.exec())
        return fail(query.lastError().text());
    return true;
}

QVariant XDatabases::toPageValue(const QVariant &value)
{
    if (value.isNull())
        return QVariant::fromValue(nullptr);
    if (value.type() == QVariant::ByteArray)
        return QString::fromLatin1(value.toByteArray().toBase64());
    return value;
}

QVariantList XDatabases::query(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    QVariantList rows;
    auto connection = m_connections.find(id);
    if (connection == m_connections.end()) {
        if (error)
            *error = QStringLiteral("no connection under this id");
        return rows;
    }
    QSqlQuery query;
    if (!run(*connection, query, sql, params, error))
        return rows;
    const QSqlRecord record = query.record();
    const int columns = record.count();
    QStringList names;
    names.reserve(columns);
    for (int i = 0; i < columns; ++i)
        names << record.fieldName(i);
    while (query.next()) {
        QVariantMap row;
        // The later of two columns of the same name wins.
        for (int i = 0; i < columns; ++i)
            row.insert(names.at(i), toPageValue(query.value(i)));
        rows.append(row);
    }
    // A cached statement must not hold its read transaction open.
    query.finish();
    return rows;
}

qint64 XDatabases::totalChanges(Connection &connection)
{
    // The driver links the same SQLite library: asking it directly saves two
    // statements per insert.
    if (connection.handle)
        return sqlite3_total_changes(static_cast<sqlite3 *>(connection.handle));
    QSqlQuery query;
    if (!run(connection, query, QStringLiteral("SELECT total_changes()"), QVariant(), nullptr) || !query.next())
        return -1;
    const qint64 changes = query.value(0).toLongLong();
    query.finish();
    return changes;
}

QVariant XDatabases::insert(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    auto connection = m_connections.find(id);
    if (connection == m_connections.end()) {
        if (error)
            *error = QStringLiteral("no connection under this id");
        return 0;
    }
    // SQLite's last insert id belongs to the connection: a statement that
    // inserted nothing would report an earlier statement's row.
    const qint64 before = totalChanges(*connection);
    QSqlQuery query;
    if (!run(*connection, query, sql, params, error))
        return QVariant();
    const QVariant rowId = query.lastInsertId();
    query.finish();
    if (before < 0 || totalChanges(*connection) == before) {
        if (error)
            *error = QStringLiteral("the statement inserted no row");
        return QVariant();
    }
    return rowId;
}
