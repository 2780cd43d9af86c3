#include "core/xdatabases.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <QSqlDriver>
#include <QSqlResult>

#include <sqlite3.h>

#include <cmath>

struct XDatabases::Connection {
    QString name;
    // The driver's own handle, for the change counter; null if unavailable.
    void *handle = nullptr;
    // Prepared statements by text: pages repeat the same few statements.
    QHash<QString, QSqlQuery> statements;
};

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

bool XDatabases::connect(const QString &fileName, const QString &id, QString *error)
{
    close(id);
    // The id is the page's; the library's name must be unique in the process.
    const QString name = QStringLiteral("vesk-%1-%2").arg(m_serial).arg(QString::fromLatin1(id.toUtf8().toHex()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(fileName);
    const bool opened = db.open();
    if (opened) {
        m_errors.remove(id);
    } else {
        m_errors.insert(id, db.lastError().text());
        if (error)
            *error = db.lastError().text();
    }
    auto connection = QSharedPointer<Connection>::create();
    connection->name = name;
    const QVariant handle = db.driver()->handle();
    if (opened && handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        connection->handle = *static_cast<sqlite3 *const *>(handle.constData());
    m_connections.insert(id, connection);
    return opened;
}

void XDatabases::close(const QString &id)
{
    if (!m_connections.contains(id))
        return;
    const QString name = m_connections.take(id)->name;
    m_errors.remove(id);
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

namespace {
struct Unbound {
};
} // namespace
Q_DECLARE_METATYPE(Unbound)

static sqlite3_stmt *statementHandle(const QSqlQuery &query)
{
    const QSqlResult *result = query.result();
    const QVariant handle = result ? result->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt *const *>(handle.constData());
}

// -1 when the driver hands out no SQLite statement.
static int parameterCount(const QSqlQuery &query)
{
    sqlite3_stmt *statement = statementHandle(query);
    return statement ? sqlite3_bind_parameter_count(statement) : -1;
}

// Qt hands SQLite each "?" rewritten as a name of its own (":a", ":bb", ...),
// which a page's key could match; the text SQLite holds tells whether it did.
static bool hasPositionalPlaceholders(const QSqlQuery &query, const QString &sql)
{
    sqlite3_stmt *statement = statementHandle(query);
    return statement && QString::fromUtf8(sqlite3_sql(statement)) != sql;
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
    // Every placeholder is bound on every call: a cached statement still holds
    // the values of the call before, which must never leak into this one.
    const int count = parameterCount(query);
    if (count < 0)
        return fail(QStringLiteral("the statement cannot be inspected"));
    auto mismatch = [&fail, count](int given) {
        return fail(QStringLiteral("the statement has %1 placeholder(s) but %2 value(s) were given")
                        .arg(count)
                        .arg(given));
    };
    const int type = static_cast<int>(params.type());
    if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
        const QVariantList list = params.toList();
        if (list.size() != count)
            return mismatch(list.size());
        for (int i = 0; i < list.size(); ++i) {
            bool ok = false;
            const QVariant bound = toBindValue(list.at(i), &ok);
            if (!ok)
                return fail(QStringLiteral("a parameter is neither text, number, boolean nor null"));
            query.bindValue(i, bound);
        }
    } else if (type == QMetaType::QVariantMap) {
        const QVariantMap map = params.toMap();
        if (hasPositionalPlaceholders(query, sql))
            return fail(QStringLiteral("a statement with \"?\" placeholders takes its values as an array"));
        // Marks what this call has not bound: the driver has no way to clear.
        for (int i = 0; i < count; ++i)
            query.bindValue(i, QVariant::fromValue(Unbound()));
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const QChar sigil = it.key().isEmpty() ? QChar() : it.key().at(0);
            const QString placeholder = sigil == QLatin1Char(':') || sigil == QLatin1Char('@') || sigil == QLatin1Char('$')
                ? it.key()
                : QLatin1Char(':') + it.key();
            // Only a placeholder of the statement reads back as unbound.
            if (query.boundValue(placeholder).userType() != qMetaTypeId<Unbound>())
                return fail(QStringLiteral("the statement has no placeholder %1, or it was given twice").arg(placeholder));
            bool ok = false;
            const QVariant bound = toBindValue(it.value(), &ok);
            if (!ok)
                return fail(QStringLiteral("the parameter %1 is neither text, number, boolean nor null").arg(it.key()));
            query.bindValue(placeholder, bound);
        }
        for (int i = 0; i < count; ++i) {
            if (query.boundValue(i).userType() == qMetaTypeId<Unbound>())
                return fail(QStringLiteral("a placeholder has no value"));
        }
    } else if (params.isValid() && !params.isNull()) {
        return fail(QStringLiteral("parameters must be an array or an object"));
    } else if (count > 0) {
        return mismatch(0);
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

QString XDatabases::lastError(const QString &id) const
{
    if (!m_connections.contains(id))
        return QStringLiteral("no connection under this id");
    return m_errors.value(id);
}

QVariantList XDatabases::query(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    QString failure;
    const QVariantList rows = queryRows(sql, id, params, &failure);
    if (error)
        *error = failure;
    if (m_connections.contains(id))
        m_errors.insert(id, failure);
    return rows;
}

QVariantList XDatabases::queryRows(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    QVariantList rows;
    auto connection = m_connections.find(id);
    if (connection == m_connections.end()) {
        if (error)
            *error = QStringLiteral("no connection under this id");
        return rows;
    }
    QSqlQuery query;
    if (!run(**connection, query, sql, params, error))
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
    // next() ends on an error as well as at the last row: a read that broke
    // off (a corrupt page, an I/O error) must not pass for the whole result.
    const QSqlError stepError = query.lastError();
    // A cached statement must not hold its read transaction open.
    query.finish();
    if (stepError.type() != QSqlError::NoError) {
        if (error)
            *error = stepError.text();
        return QVariantList();
    }
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
    QString failure;
    bool changedNothing = false;
    const QVariant rowId = insertRow(sql, id, params, &failure, &changedNothing);
    if (error)
        *error = failure;
    // A statement that inserted nothing (INSERT OR IGNORE on a conflict) did not fail.
    if (m_connections.contains(id))
        m_errors.insert(id, changedNothing ? QString() : failure);
    return rowId;
}

QVariant XDatabases::insertRow(const QString &sql, const QString &id, const QVariant &params, QString *error,
                               bool *changedNothing)
{
    auto connection = m_connections.find(id);
    if (connection == m_connections.end()) {
        if (error)
            *error = QStringLiteral("no connection under this id");
        return 0;
    }
    // SQLite's last insert id belongs to the connection: a statement that
    // inserted nothing would report an earlier statement's row.
    const qint64 before = totalChanges(**connection);
    QSqlQuery query;
    if (!run(**connection, query, sql, params, error))
        return QVariant();
    const QVariant rowId = query.lastInsertId();
    query.finish();
    if (before < 0 || totalChanges(**connection) == before) {
        *changedNothing = true;
        if (error)
            *error = QStringLiteral("the statement inserted no row");
        return QVariant();
    }
    return rowId;
}
