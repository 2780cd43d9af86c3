#include "core/xdatabases.h"

#include <QHash>
#include <QVarLengthArray>
#include <QVector>

#include <sqlite3.h>

#include <cmath>

// SQLite is driven directly rather than through Qt's SQL classes: pages issue
// thousands of small statements in a row, and the layers in between cost more
// than SQLite itself (placeholder rewriting, a copy of every bound value and
// of every row).
struct XDatabases::Connection {
    ~Connection();
    sqlite3_stmt *prepare(const QString &sql, QString *error);

    sqlite3 *db = nullptr;
    // Prepared statements by text: pages repeat the same few statements.
    QHash<QString, sqlite3_stmt *> statements;
};

XDatabases::Connection::~Connection()
{
    for (sqlite3_stmt *statement : qAsConst(statements))
        sqlite3_finalize(statement);
    sqlite3_close(db);
}

sqlite3_stmt *XDatabases::Connection::prepare(const QString &sql, QString *error)
{
    if (sqlite3_stmt *cached = statements.value(sql)) {
        // Every call starts from nothing bound: the values of the call before
        // must never leak into this one.
        sqlite3_reset(cached);
        sqlite3_clear_bindings(cached);
        return cached;
    }
    sqlite3_stmt *statement = nullptr;
    const void *tail = nullptr;
    const int bytes = sql.size() * int(sizeof(QChar));
    const int prepared = sqlite3_prepare16_v2(db, sql.utf16(), bytes, &statement, &tail);
    if (prepared != SQLITE_OK || !statement) {
        if (error)
            *error = prepared != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("the statement is empty");
        sqlite3_finalize(statement);
        return nullptr;
    }
    const int used = int(static_cast<const char *>(tail) - reinterpret_cast<const char *>(sql.utf16()));
    if (!sql.midRef(used / int(sizeof(QChar))).trimmed().isEmpty()) {
        sqlite3_finalize(statement);
        if (error)
            *error = QStringLiteral("only one statement can run at a time");
        return nullptr;
    }
    if (statements.size() >= 32) {
        for (sqlite3_stmt *old : qAsConst(statements))
            sqlite3_finalize(old);
        statements.clear();
    }
    statements.insert(sql, statement);
    return statement;
}

namespace {
// Lets go of the values bound (which point into the caller's data) and of any
// read the statement holds open, whichever way the call ends.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt *statement) : m_statement(statement) {}
    ~StatementUse()
    {
        if (m_statement) {
            sqlite3_reset(m_statement);
            sqlite3_clear_bindings(m_statement);
        }
    }
    StatementUse(const StatementUse &) = delete;
    StatementUse &operator=(const StatementUse &) = delete;

private:
    sqlite3_stmt *m_statement;
};
} // namespace

// A script number that is a whole number goes in as an integer, so it keeps
// SQLite's integer type and compares and prints as one. Text and bytes are
// bound in place: the value outlives the statement's run.
static bool bindValue(sqlite3_stmt *statement, int index, const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 9007199254740992.0)
            return sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(d)) == SQLITE_OK;
        return sqlite3_bind_double(statement, index, d) == SQLITE_OK;
    }
    case QMetaType::QString: {
        const QString *text = static_cast<const QString *>(value.constData());
        if (text->isNull())
            return sqlite3_bind_null(statement, index) == SQLITE_OK;
        return sqlite3_bind_text16(statement, index, text->utf16(), text->size() * int(sizeof(QChar)), SQLITE_STATIC)
            == SQLITE_OK;
    }
    case QMetaType::QByteArray: {
        const QByteArray *bytes = static_cast<const QByteArray *>(value.constData());
        if (bytes->isNull())
            return sqlite3_bind_null(statement, index) == SQLITE_OK;
        return sqlite3_bind_blob(statement, index, bytes->constData(), bytes->size(), SQLITE_STATIC) == SQLITE_OK;
    }
    case QMetaType::Bool: return sqlite3_bind_int(statement, index, value.toBool() ? 1 : 0) == SQLITE_OK;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return sqlite3_bind_int64(statement, index, value.toLongLong()) == SQLITE_OK;
    case QMetaType::UnknownType:
    case QMetaType::Nullptr: return sqlite3_bind_null(statement, index) == SQLITE_OK;
    default:
        // Arrays, objects and dates have no one obvious column value.
        return value.isNull() && sqlite3_bind_null(statement, index) == SQLITE_OK;
    }
}

static bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// Binds params to every placeholder of the statement, or says why it cannot.
static bool bindAll(sqlite3_stmt *statement, const QVariant &params, QString *error)
{
    const int count = sqlite3_bind_parameter_count(statement);
    auto mismatch = [error, count](int given) {
        return fail(error, QStringLiteral("the statement has %1 placeholder(s) but %2 value(s) were given")
                               .arg(count)
                               .arg(given));
    };
    const int type = params.userType();
    if (type == QMetaType::QVariantList) {
        const QVariantList *list = static_cast<const QVariantList *>(params.constData());
        if (list->size() != count)
            return mismatch(list->size());
        for (int i = 0; i < count; ++i) {
            if (!bindValue(statement, i + 1, list->at(i)))
                return fail(error, QStringLiteral("a parameter is neither text, number, boolean nor null"));
        }
        return true;
    }
    if (type == QMetaType::QVariantMap) {
        const QVariantMap *map = static_cast<const QVariantMap *>(params.constData());
        for (int i = 1; i <= count; ++i) {
            if (!sqlite3_bind_parameter_name(statement, i))
                return fail(error, QStringLiteral("a statement with \"?\" placeholders takes its values as an array"));
        }
        QVarLengthArray<bool, 16> bound(count + 1);
        std::fill(bound.begin(), bound.end(), false);
        for (auto it = map->cbegin(); it != map->cend(); ++it) {
            const QChar sigil = it.key().isEmpty() ? QChar() : it.key().at(0);
            const QString placeholder = sigil == QLatin1Char(':') || sigil == QLatin1Char('@') || sigil == QLatin1Char('$')
                ? it.key()
                : QLatin1Char(':') + it.key();
            const int index = sqlite3_bind_parameter_index(statement, placeholder.toUtf8().constData());
            if (index <= 0 || bound[index])
                return fail(error, QStringLiteral("the statement has no placeholder %1, or it was given twice").arg(placeholder));
            if (!bindValue(statement, index, it.value()))
                return fail(error, QStringLiteral("the parameter %1 is neither text, number, boolean nor null").arg(it.key()));
            bound[index] = true;
        }
        for (int i = 1; i <= count; ++i) {
            if (!bound[i])
                return fail(error, QStringLiteral("a placeholder has no value"));
        }
        return true;
    }
    if (params.isValid() && !params.isNull())
        return fail(error, QStringLiteral("parameters must be an array or an object"));
    return count == 0 || mismatch(0);
}

// A list of text arrives from some callers as a QStringList; binding in place
// needs values that live as long as the run.
static QVariant normalised(const QVariant &params)
{
    if (params.userType() == QMetaType::QStringList)
        return QVariant(params.toList());
    return params;
}

XDatabases::~XDatabases() = default;

bool XDatabases::connect(const QString &fileName, const QString &id, QString *error)
{
    close(id);
    auto connection = QSharedPointer<Connection>::create();
    // Only this object's thread uses the connection: SQLite's own locking is not needed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const bool opened = sqlite3_open_v2(fileName.toUtf8().constData(), &connection->db, flags, nullptr) == SQLITE_OK;
    if (!opened) {
        note(id, connection->db ? QString::fromUtf8(sqlite3_errmsg(connection->db)) : QStringLiteral("out of memory"),
             error);
        sqlite3_close(connection->db);
        connection->db = nullptr;
    } else {
        // Another program holding the file briefly should not fail the call at once.
        sqlite3_busy_timeout(connection->db, 5000);
        m_errors.remove(id);
    }
    // A failed open still takes the id, so its calls fail instead of reaching an older file.
    m_connections.insert(id, connection);
    return opened;
}

void XDatabases::close(const QString &id)
{
    m_connections.remove(id);
    m_errors.remove(id);
}

QVariant XDatabases::toPageValue(const QVariant &value)
{
    if (value.isNull())
        return QVariant::fromValue(nullptr);
    if (value.type() == QVariant::ByteArray)
        return QString::fromLatin1(value.toByteArray().toBase64());
    return value;
}

static QVariant columnValue(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_NULL: return QVariant::fromValue(nullptr);
    case SQLITE_BLOB: {
        const char *data = static_cast<const char *>(sqlite3_column_blob(statement, column));
        const int size = sqlite3_column_bytes(statement, column);
        return QString::fromLatin1(QByteArray::fromRawData(data, size).toBase64());
    }
    default: {
        const QChar *text = static_cast<const QChar *>(sqlite3_column_text16(statement, column));
        return QString(text, sqlite3_column_bytes16(statement, column) / int(sizeof(QChar)));
    }
    }
}

// A value as queryTable packs it, converted as columnValue's would be in a page.
static void packCell(sqlite3_stmt *statement, int column, QVector<double> *numbers, QByteArray *kinds, QString *text)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        numbers->append(double(sqlite3_column_int64(statement, column)));
        kinds->append(XDatabases::NumberCell);
        return;
    case SQLITE_FLOAT:
        numbers->append(sqlite3_column_double(statement, column));
        kinds->append(XDatabases::NumberCell);
        return;
    case SQLITE_NULL:
        numbers->append(0);
        kinds->append(XDatabases::NullCell);
        return;
    case SQLITE_BLOB: {
        const char *data = static_cast<const char *>(sqlite3_column_blob(statement, column));
        const QString base64 = QString::fromLatin1(
            QByteArray::fromRawData(data, sqlite3_column_bytes(statement, column)).toBase64());
        numbers->append(base64.size());
        kinds->append(XDatabases::TextCell);
        text->append(base64);
        return;
    }
    default: {
        const QChar *chars = static_cast<const QChar *>(sqlite3_column_text16(statement, column));
        const int size = sqlite3_column_bytes16(statement, column) / int(sizeof(QChar));
        numbers->append(size);
        kinds->append(XDatabases::TextCell);
        text->append(chars, size);
        return;
    }
    }
}

QVariantList XDatabases::queryRows(const QString &sql, const QString &id, const QVariant &params, Table *packed,
                                   QString *error)
{
    auto found = m_connections.constFind(id);
    if (found == m_connections.cend() || !(*found)->db) {
        fail(error, QStringLiteral("no connection under this id"));
        return QVariantList();
    }
    Connection &connection = **found;
    sqlite3_stmt *statement = connection.prepare(sql, error);
    if (!statement)
        return QVariantList();
    StatementUse use(statement);
    const QVariant values = normalised(params);
    if (!bindAll(statement, values, error))
        return QVariantList();

    // Each row is built in the order of its keys, which is the order a map
    // keeps anyway; the later of two columns of the same name wins.
    const int columns = sqlite3_column_count(statement);
    QMap<QString, int> byName;
    for (int i = 0; i < columns; ++i) {
        const void *name = sqlite3_column_name16(statement, i);
        byName.insert(name ? QString(static_cast<const QChar *>(name)).remove(QLatin1Char('"')) : QString(), i);
    }
    QVector<QString> names;
    QVector<int> order;
    names.reserve(byName.size());
    order.reserve(byName.size());
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        names.append(it.key());
        order.append(it.value());
    }

    QVariantList rows;
    int step;
    if (packed) {
        packed->names = QStringList(names.cbegin(), names.cend());
        QVector<double> numbers;
        QByteArray kinds;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            for (int column : qAsConst(order))
                packCell(statement, column, &numbers, &kinds, &packed->text);
            ++packed->rows;
        }
        const int bytes = numbers.size() * int(sizeof(double));
        packed->cells.reserve(bytes + kinds.size());
        packed->cells.append(reinterpret_cast<const char *>(numbers.constData()), bytes);
        packed->cells.append(kinds);
    } else {
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            QVariantMap row;
            for (int i = 0; i < names.size(); ++i)
                row.insert(row.cend(), names.at(i), columnValue(statement, order.at(i)));
            rows.append(row);
        }
    }
    // A read that broke off (a corrupt page, an I/O error) must not pass for
    // the whole result.
    if (step != SQLITE_DONE) {
        fail(error, QString::fromUtf8(sqlite3_errmsg(connection.db)));
        return QVariantList();
    }
    return rows;
}

QVariant XDatabases::insertRow(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    auto found = m_connections.constFind(id);
    if (found == m_connections.cend() || !(*found)->db) {
        fail(error, QStringLiteral("no connection under this id"));
        return 0;
    }
    Connection &connection = **found;
    sqlite3_stmt *statement = connection.prepare(sql, error);
    if (!statement)
        return QVariant();
    StatementUse use(statement);
    const QVariant values = normalised(params);
    if (!bindAll(statement, values, error))
        return QVariant();
    // SQLite's last insert id belongs to the connection: a statement that
    // inserted nothing would report an earlier statement's row.
    const int before = sqlite3_total_changes(connection.db);
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    if (step != SQLITE_DONE) {
        fail(error, QString::fromUtf8(sqlite3_errmsg(connection.db)));
        return QVariant();
    }
    if (sqlite3_total_changes(connection.db) == before) {
        fail(error, QStringLiteral("the statement inserted no row"));
        return QVariant();
    }
    return QVariant(qlonglong(sqlite3_last_insert_rowid(connection.db)));
}

QVariant XDatabases::insertRows(const QString &sql, const QString &id, const QVariant &rows, QString *error)
{
    auto found = m_connections.constFind(id);
    if (found == m_connections.cend() || !(*found)->db) {
        fail(error, QStringLiteral("no connection under this id"));
        return QVariant();
    }
    if (rows.userType() != QMetaType::QVariantList) {
        fail(error, QStringLiteral("rows must be an array of arrays or objects"));
        return QVariant();
    }
    const QVariantList *list = static_cast<const QVariantList *>(rows.constData());
    Connection &connection = **found;
    sqlite3_stmt *statement = connection.prepare(sql, error);
    if (!statement)
        return QVariant();
    // BEGIN, COMMIT and SELECT would leave the savepoint meaningless.
    if (sqlite3_stmt_readonly(statement)) {
        fail(error, QStringLiteral("the statement changes no rows"));
        return QVariant();
    }
    StatementUse use(statement);
    // A savepoint works inside a transaction the page began as well as outside one.
    if (sqlite3_exec(connection.db, "SAVEPOINT vesk_insert_many", nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(error, QString::fromUtf8(sqlite3_errmsg(connection.db)));
        return QVariant();
    }
    auto rollBack = [&connection, error](const QString &text) {
        fail(error, text);
        sqlite3_exec(connection.db, "ROLLBACK TO vesk_insert_many; RELEASE vesk_insert_many", nullptr, nullptr,
                     nullptr);
        return QVariant();
    };
    qint64 changed = 0;
    for (int i = 0; i < list->size(); ++i) {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        const QVariant &row = list->at(i);
        const int type = row.userType();
        if (type != QMetaType::QVariantList && type != QMetaType::QVariantMap && type != QMetaType::QStringList)
            return rollBack(QStringLiteral("row %1 is neither an array nor an object").arg(i));
        const QVariant values = normalised(row);
        QString why;
        if (!bindAll(statement, values, &why))
            return rollBack(QStringLiteral("row %1: %2").arg(i).arg(why));
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        }
        if (step != SQLITE_DONE)
            return rollBack(QStringLiteral("row %1: %2").arg(i).arg(QString::fromUtf8(sqlite3_errmsg(connection.db))));
        changed += sqlite3_changes(connection.db);
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    // Releasing the outermost savepoint commits; a full disk or a busy file fails here.
    if (sqlite3_exec(connection.db, "RELEASE vesk_insert_many", nullptr, nullptr, nullptr) != SQLITE_OK)
        return rollBack(QString::fromUtf8(sqlite3_errmsg(connection.db)));
    return QVariant(changed);
}

QVariantList XDatabases::query(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    QString why;
    const QVariantList rows = queryRows(sql, id, params, nullptr, &why);
    note(id, why, error);
    return rows;
}

bool XDatabases::queryTable(const QString &sql, const QString &id, const QVariant &params, Table *table,
                            QString *error)
{
    QString why;
    *table = Table();
    queryRows(sql, id, params, table, &why);
    note(id, why, error);
    if (why.isEmpty())
        return true;
    *table = Table();
    return false;
}

QVariant XDatabases::insert(const QString &sql, const QString &id, const QVariant &params, QString *error)
{
    QString why;
    const QVariant row = insertRow(sql, id, params, &why);
    // Inserting nothing is a result, not a failure of the driver.
    note(id, row.isValid() || why == QLatin1String("the statement inserted no row") ? QString() : why, error);
    if (error && !row.isValid() && error->isEmpty())
        *error = why;
    return row;
}

QVariant XDatabases::insertMany(const QString &sql, const QString &id, const QVariant &rows, QString *error)
{
    QString why;
    const QVariant count = insertRows(sql, id, rows, &why);
    note(id, count.isValid() ? QString() : why, error);
    return count;
}

QString XDatabases::lastError(const QString &id) const
{
    if (!m_connections.contains(id))
        return QStringLiteral("no connection under this id");
    return m_errors.value(id);
}

void XDatabases::note(const QString &id, const QString &error, QString *out)
{
    if (error.isEmpty())
        m_errors.remove(id);
    else
        m_errors.insert(id, error);
    if (out)
        *out = error;
}
