#include "kotagrowcache.h"

#include <QSqlError>
#include <QVariant>

#include <cmath>
#include <limits>

namespace {

// SQLite's rules for the affinity of a declared column type.
bool hasNumericAffinity(const QString &declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return true;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
        || type.contains(QLatin1String("TEXT")))
        return false;
    if (type.contains(QLatin1String("BLOB")) || type.isEmpty())
        return false;
    return true; // REAL, FLOA, DOUB, or anything else: NUMERIC
}

bool hasTextAffinity(const QString &declared)
{
    const QString type = declared.toUpper();
    return !type.contains(QLatin1String("INT"))
        && (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
            || type.contains(QLatin1String("TEXT")));
}

} // namespace

KOTagRowCache::KOTagRowCache(const QString &table, const QStringList &columns)
    : m_table(table)
    , m_columns(columns)
{
}

bool KOTagRowCache::fail(const QSqlQuery &query)
{
    m_error = m_table + QStringLiteral(": ") + query.lastError().text();
    return false;
}

bool KOTagRowCache::load(const QSqlDatabase &db)
{
    m_db = db;
    m_byNumber.clear();
    m_byText.clear();
    m_values.clear();
    m_maxRowid = std::numeric_limits<qint64>::min();

    QSqlQuery info(db);
    if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(m_table)))
        return fail(info);
    bool found = false;
    QString declared;
    while (info.next()) {
        if (info.value(1).toString().compare(QLatin1String("RealID"), Qt::CaseInsensitive) == 0) {
            declared = info.value(2).toString();
            found = true;
        }
    }
    if (!found) {
        m_error = m_table + QStringLiteral(": no such table or no column RealID");
        return false;
    }
    m_mode = hasNumericAffinity(declared) ? NumericKeys : (hasTextAffinity(declared) ? TextKeys : BlobKeys);

    // Only rows whose RealID some look-up or update can reach are kept.
    m_typeFilter = m_mode == NumericKeys ? QStringLiteral("typeof(RealID) IN ('integer','real')")
        : m_mode == TextKeys             ? QStringLiteral("typeof(RealID)='text'")
                                         : QStringLiteral("typeof(RealID) IN ('integer','real','text')");
    QSqlQuery last(db);
    if (!last.exec(QStringLiteral("SELECT max(rowid) FROM %1").arg(m_table)) || !last.next())
        return fail(last);
    if (!last.value(0).isNull())
        m_maxRowid = last.value(0).toLongLong();

    const QString columns = m_columns.join(QLatin1Char(','));
    QSqlQuery all(db);
    all.setForwardOnly(true);
    if (!all.exec(QStringLiteral("SELECT rowid,RealID,%1 FROM %2 WHERE %3 ORDER BY rowid")
                      .arg(columns, m_table, m_typeFilter)))
        return fail(all);
    while (all.next())
        insertRow(all.value(0).toLongLong(), all.value(1), appendValues(all, 2));
    if (all.lastError().isValid())
        return fail(all);

    m_readOne = QSqlQuery(db);
    m_readNew = QSqlQuery(db);
    m_readNew.setForwardOnly(true);
    if (!m_readOne.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(columns, m_table)))
        return fail(m_readOne);
    m_readFirst = QSqlQuery(db);
    m_readFirst.setForwardOnly(true);
    if (!m_readFirst.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE RealID=? LIMIT 0,1").arg(columns, m_table)))
        return fail(m_readFirst);
    if (!m_readNew.prepare(QStringLiteral("SELECT rowid,RealID FROM %1 WHERE rowid>? AND %2 ORDER BY rowid")
                               .arg(m_table, m_typeFilter)))
        return fail(m_readNew);
    return true;
}

// Rows arrive in rowid order; the first for each key answers look-ups. The
// driver hands integers over as qlonglong, reals as double and texts as QString.
void KOTagRowCache::insertRow(qint64 rowid, const QVariant &realId, int values)
{
    const auto add = [rowid, values](Entry &entry, bool created, bool keepValues) {
        if (created) {
            entry.rowid = rowid;
            if (keepValues)
                entry.values = values;
        } else {
            entry.later.append(rowid);
        }
    };

    const int type = realId.userType();
    if (type == QMetaType::LongLong || type == QMetaType::Double) {
        // A quoted look-up value in a numeric column becomes an integer, and an
        // unquoted integer equals stored integers and integral reals; text columns
        // hold no numbers.
        if (m_mode == TextKeys)
            return;
        qint64 key = 0;
        if (type == QMetaType::LongLong) {
            key = realId.toLongLong();
        } else {
            const double d = realId.toDouble();
            if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || std::floor(d) != d)
                return;
            key = static_cast<qint64>(d);
        }
        auto it = m_byNumber.find(key);
        const bool created = it == m_byNumber.end();
        if (created)
            it = m_byNumber.insert(key, Entry());
        add(it.value(), created, m_mode == NumericKeys);
    } else if (type == QMetaType::QString) {
        // Numeric columns never compare equal to stored text.
        if (m_mode == NumericKeys)
            return;
        const QString key = realId.toString();
        auto it = m_byText.find(key);
        const bool created = it == m_byText.end();
        if (created)
            it = m_byText.insert(key, Entry());
        add(it.value(), created, true);
    }
}

int KOTagRowCache::appendValues(const QSqlQuery &query, int first)
{
    const int start = m_values.size();
    for (int i = 0; i < m_columns.size(); ++i) {
        const QString text = query.value(first + i).toString();
        m_values.append(QChar(ushort(text.size() & 0xffff)));
        m_values.append(QChar(ushort(uint(text.size()) >> 16)));
        m_values.append(text);
    }
    return start;
}

bool KOTagRowCache::sameValues(int values, const QStringRef *fields) const
{
    int pos = values;
    for (int i = 0; i < m_columns.size(); ++i) {
        const int size = int(m_values.at(pos).unicode()) | (int(m_values.at(pos + 1).unicode()) << 16);
        pos += 2;
        if (fields[i] != QStringRef(&m_values, pos, size))
            return false;
        pos += size;
    }
    return true;
}

KOTagRowCache::Entry *KOTagRowCache::find(const QStringRef &realId, qint64 value)
{
    if (m_mode == NumericKeys) {
        auto it = m_byNumber.find(value);
        return it == m_byNumber.end() ? nullptr : &it.value();
    }
    auto it = m_byText.find(realId.toString());
    return it == m_byText.end() ? nullptr : &it.value();
}

bool KOTagRowCache::readValues(Entry *entry)
{
    m_readOne.bindValue(0, entry->rowid);
    if (!m_readOne.exec())
        return fail(m_readOne);
    if (!m_readOne.next()) {
        // The row is gone (a trigger of the application's); keep it out of look-ups.
        m_error = m_table + QStringLiteral(": row disappeared during the import");
        return false;
    }
    entry->values = appendValues(m_readOne, 0);
    m_readOne.finish();
    return true;
}

KOTagRowCache::Lookup KOTagRowCache::lookup(const QStringRef &realId, qint64 value, const QStringRef *fields)
{
    Entry *entry = find(realId, value);
    if (!entry)
        return Missing;
    if (!fields)
        return Same;
    if (!entry->later.isEmpty())
        return lookupFirst(realId, fields);
    if (entry->values < 0 && !readValues(entry))
        return Failed;
    return sameValues(entry->values, fields) ? Same : Different;
}

// Rare enough to afford the statement, which may scan the table.
KOTagRowCache::Lookup KOTagRowCache::lookupFirst(const QStringRef &realId, const QStringRef *fields)
{
    m_readFirst.bindValue(0, realId.toString());
    if (!m_readFirst.exec()) {
        fail(m_readFirst);
        return Failed;
    }
    Lookup answer = Missing;
    if (m_readFirst.next()) {
        answer = Same;
        for (int i = 0; i < m_columns.size() && answer == Same; ++i) {
            if (fields[i] != m_readFirst.value(i).toString())
                answer = Different;
        }
    }
    if (m_readFirst.lastError().isValid()) {
        fail(m_readFirst);
        return Failed;
    }
    m_readFirst.finish();
    return answer;
}

bool KOTagRowCache::noteInserted()
{
    m_readNew.bindValue(0, m_maxRowid);
    if (!m_readNew.exec())
        return fail(m_readNew);
    while (m_readNew.next()) {
        const qint64 rowid = m_readNew.value(0).toLongLong();
        insertRow(rowid, m_readNew.value(1), -1);
        m_maxRowid = qMax(m_maxRowid, rowid);
    }
    if (m_readNew.lastError().isValid())
        return fail(m_readNew);
    m_readNew.finish();
    return true;
}

// An unquoted integer compares as a number with numeric columns and untyped
// ones, and as its own text with text columns.
KOTagRowCache::Entry *KOTagRowCache::findForUpdate(qint64 value)
{
    if (m_mode == TextKeys) {
        auto it = m_byText.find(QString::number(value));
        return it == m_byText.end() ? nullptr : &it.value();
    }
    auto it = m_byNumber.find(value);
    return it == m_byNumber.end() ? nullptr : &it.value();
}

void KOTagRowCache::appendRowsFor(qint64 value, QVector<qint64> *rowids)
{
    if (const Entry *entry = findForUpdate(value)) {
        rowids->append(entry->rowid);
        rowids->append(entry->later);
    }
}

void KOTagRowCache::noteUpdated(qint64 value)
{
    // Untyped columns: the updated rows hold numbers, which look-ups never reach.
    if (m_mode == BlobKeys)
        return;
    if (Entry *entry = findForUpdate(value))
        entry->values = -1;
}
