#include "kotagimportrun.h"

#include "kotagfolding.h"

#include <QElapsedTimer>
#include <QSqlError>

#include <cmath>

namespace {

// Larger batches than the dictionary's historical ones gain little and would
// change when rows become visible to later look-ups of the same import.
constexpr int insertBatchRows = 101;
constexpr int confirmBatchIds = 501;
// A small file with a few bad records is still a dictionary.
constexpr qint64 minMalformedToRefuse = 100;

const QStringList tagColumns = {QStringLiteral("ParentID"),     QStringLiteral("SuperiorID"),
                                QStringLiteral("AdjacentTags"), QStringLiteral("IsCategory"),
                                QStringLiteral("IsRedakcni"),   QStringLiteral("DontIncludeParents")};
const QStringList textColumns = {QStringLiteral("TagID"), QStringLiteral("Name"), QStringLiteral("JazykID"),
                                 QStringLiteral("IsMain"), QStringLiteral("Cislo")};

// Number fields were once pasted into the statements unquoted, where white
// space around them is harmless: a line break before the next "^" is common.
bool isSqlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\f')
        || c == QLatin1Char('\r');
}

QStringRef trimmedNumber(const QStringRef &s)
{
    int begin = 0;
    int end = s.size();
    while (begin < end && isSqlSpace(s.at(begin)))
        ++begin;
    while (end > begin && isSqlSpace(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

bool hasIntegerSyntax(const QStringRef &s)
{
    int i = (!s.isEmpty() && s.at(0) == QLatin1Char('-')) ? 1 : 0;
    if (i >= s.size())
        return false;
    for (; i < s.size(); ++i) {
        if (s.at(i) < QLatin1Char('0') || s.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Identifiers and flags: an optional minus and digits, within 64 bits.
bool toInteger(const QStringRef &field, qint64 *value)
{
    const QStringRef s = trimmedNumber(field);
    if (!hasIntegerSyntax(s))
        return false;
    bool ok = false;
    *value = s.toLongLong(&ok, 10);
    return ok;
}

bool hasDecimalSyntax(const QStringRef &s)
{
    const int dot = s.indexOf(QLatin1Char('.'));
    if (dot < 0 || !hasIntegerSyntax(s.left(dot)))
        return false;
    const QStringRef fraction = s.mid(dot + 1);
    return !fraction.isEmpty() && fraction.at(0) != QLatin1Char('-') && hasIntegerSyntax(fraction);
}

int splitFields(const QStringRef &rest, QStringRef *fields, int max)
{
    int count = 0;
    int pos = 0;
    while (count < max) {
        const int bar = rest.indexOf(QLatin1Char('|'), pos);
        if (bar < 0) {
            fields[count++] = rest.mid(pos);
            break;
        }
        fields[count++] = rest.mid(pos, bar - pos);
        pos = bar + 1;
    }
    return count;
}

} // namespace

KOTagImportRun::KOTagImportRun(const QSqlDatabase &db, const QString &dictionary, KOTagImportResult *result)
    : m_db(db)
    , m_dictionary(dictionary)
    , m_result(result)
    , m_tags(QStringLiteral("tag"), tagColumns)
    , m_texts(QStringLiteral("tagtext"), textColumns)
{
    m_real = QSqlQuery(m_db);
    initBatch(
        m_tagInserts, Tag,
        QStringLiteral(
            "INSERT INTO tag "
            "(ID,ParentID,SuperiorID,AdjacentTags,IsCategory,IsRedakcni,DontIncludeParents,IsSystem,RealID) VALUES "),
        QStringLiteral("(NULL,?,?,?,?,?,?,2,?)"), QStringLiteral(";"), insertBatchRows, true);
    initBatch(
        m_textInserts, TagText,
        QStringLiteral("INSERT INTO tagtext (ID,TagID,Name,SearchName,JazykID,IsMain,Cislo,IsSystem,RealID) VALUES "),
        QStringLiteral("(NULL,?,?,?,?,?,?,2,?)"), QStringLiteral(";"), insertBatchRows, true);
    initBatch(m_relationInserts, TagRelation,
              QStringLiteral("INSERT INTO tagrelation (ID,TagID1,TagID2,Score) VALUES "),
              QStringLiteral("(NULL,?,?,?)"), QStringLiteral(";"), insertBatchRows, true);
    initBatch(m_tagConfirms, Tag, QStringLiteral("UPDATE tag SET IsSystem=2 WHERE rowid IN ("), QStringLiteral("?"),
              QStringLiteral(")"), confirmBatchIds, false);
    initBatch(m_textConfirms, TagText, QStringLiteral("UPDATE tagtext SET IsSystem=2 WHERE rowid IN ("),
              QStringLiteral("?"), QStringLiteral(")"), confirmBatchIds, false);
}

void KOTagImportRun::initBatch(Batch &batch, Table table, const QString &head, const QString &row, const QString &tail,
                               int fullRows, bool inserts)
{
    batch.table = table;
    batch.head = head;
    batch.row = row;
    batch.tail = tail;
    batch.fullRows = fullRows;
    batch.valuesPerRow = row.count(QLatin1Char('?'));
    batch.values.reserve(fullRows * batch.valuesPerRow);
    batch.inserts = inserts;
    batch.full = QSqlQuery(m_db);
}

void KOTagImportRun::setProgressHandler(qint64 interval, std::function<void(qint64)> handler)
{
    m_progressInterval = interval;
    m_progress = std::move(handler);
}

bool KOTagImportRun::fail(const QString &error)
{
    if (m_inTransaction) {
        QSqlQuery rollback(m_db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        m_inTransaction = false;
        m_result->status = KOTagImportResult::RolledBack;
    } else if (m_result->status == KOTagImportResult::Completed) {
        m_result->status = KOTagImportResult::RolledBack;
    }
    m_result->error = error;
    return false;
}

bool KOTagImportRun::failed(Table table, const QString &error)
{
    if (table == TagRelation)
        return relationFailed(error);
    return fail(error);
}

// Relations are rebuilt on every import, so a failure there (a missing table,
// say) costs only relations, as long as the transaction itself survived it.
bool KOTagImportRun::relationFailed(const QString &error)
{
    ++m_result->failedRelationStatements;
    QSqlQuery probe(m_db);
    if (probe.exec(QStringLiteral("BEGIN"))) {
        // The failure ended the transaction (RAISE(ROLLBACK), a full disk, ...):
        // everything before it is already undone.
        probe.exec(QStringLiteral("ROLLBACK"));
        m_inTransaction = false;
        return fail(QStringLiteral("tagrelation: ") + error + QStringLiteral(" (the transaction was aborted)"));
    }
    return true;
}

bool KOTagImportRun::exec(const QString &statement, Table table, qint64 *affected)
{
    QSqlQuery query(m_db);
    if (!query.exec(statement)) {
        static const char *names[] = {"tag", "tagtext", "tagrelation"};
        return failed(table, QString::fromLatin1(names[table]) + QStringLiteral(": ") + query.lastError().text());
    }
    if (affected)
        *affected += query.numRowsAffected();
    return true;
}

bool KOTagImportRun::loadRows()
{
    if (!m_tags.load(m_db))
        return fail(m_tags.error());
    if (!m_texts.load(m_db))
        return fail(m_texts.error());
    return true;
}

bool KOTagImportRun::execute()
{
    // Existing rows are read before the write lock is taken; if another
    // connection commits in between, they are read again under the lock.
    QSqlQuery version(m_db);
    auto dataVersion = [&version]() {
        return version.exec(QStringLiteral("PRAGMA data_version")) && version.next() ? version.value(0).toLongLong()
                                                                                     : -1;
    };
    QSqlQuery control(m_db);
    // Nothing is written yet: a file that is not a database, or lacks the
    // tables, is unavailable rather than rolled back.
    if (!control.exec(QStringLiteral("BEGIN"))) {
        m_result->status = KOTagImportResult::DatabaseUnavailable;
        return fail(QStringLiteral("cannot start reading: ") + control.lastError().text());
    }
    const qint64 versionRead = dataVersion();
    version.finish();
    const bool loaded = loadRows();
    control.exec(QStringLiteral("COMMIT"));
    if (!loaded) {
        m_result->status = KOTagImportResult::DatabaseUnavailable;
        return false;
    }
    if (m_progress)
        m_progress(0);

    if (m_cancelled && m_cancelled->load())
        return fail(QStringLiteral("import cancelled"));
    QElapsedTimer lockTimer;
    if (!control.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        m_result->status = KOTagImportResult::DatabaseUnavailable;
        return fail(QStringLiteral("cannot lock the database: ") + control.lastError().text());
    }
    lockTimer.start();
    m_inTransaction = true;
    const qint64 versionLocked = dataVersion();
    version.finish();
    if ((versionRead < 0 || versionLocked != versionRead) && !loadRows())
        return false;

    m_tagUpdate = QSqlQuery(m_db);
    m_textUpdate = QSqlQuery(m_db);
    if (!m_tagUpdate.prepare(
            QStringLiteral("UPDATE tag SET ParentID=?,SuperiorID=?,AdjacentTags=?,IsCategory=?,IsRedakcni=?,"
                           "DontIncludeParents=?,IsSystem=2 WHERE rowid=?")))
        return fail(QStringLiteral("tag: ") + m_tagUpdate.lastError().text());
    if (!m_textUpdate.prepare(
            QStringLiteral("UPDATE tagtext SET TagID=?,Name=?,SearchName=?,JazykID=?,IsMain=?,Cislo=?,"
                           "IsSystem=2 WHERE rowid=?")))
        return fail(QStringLiteral("tagtext: ") + m_textUpdate.lastError().text());

    if (!exec(QStringLiteral("DELETE FROM tagrelation WHERE 1"), TagRelation, &m_result->relationsCleared))
        return false;

    qint64 handled = 0;
    int pos = 0;
    const int size = m_dictionary.size();
    while (pos <= size) {
        int end = m_dictionary.indexOf(QLatin1Char('^'), pos);
        if (end < 0)
            end = size;
        if (!handleRecord(QStringRef(&m_dictionary, pos, end - pos)))
            return false;
        pos = end + 1;
        ++handled;
        if (m_cancelled && (handled & 4095) == 0 && m_cancelled->load(std::memory_order_relaxed))
            return fail(QStringLiteral("import cancelled"));
        if (m_progress && m_progressInterval > 0 && handled % m_progressInterval == 0)
            m_progress(handled);
    }

    // Random bytes or a file of another kind split into records too, nearly all
    // of them malformed; taken as a dictionary it would sweep the last import away.
    const qint64 malformed = m_result->skippedRecords + m_result->unknownRecords;
    const qint64 records = m_result->keywordRecords + m_result->textRecords + m_result->relationRecords
        + m_result->unknownRecords;
    if (malformed >= minMalformedToRefuse && malformed * 2 > records) {
        fail(QStringLiteral("not a keyword dictionary: %1 of %2 records are malformed").arg(malformed).arg(records));
        m_result->status = KOTagImportResult::NotADictionary;
        return false;
    }

    for (Batch *batch : {&m_tagInserts, &m_textInserts, &m_relationInserts, &m_tagConfirms, &m_textConfirms}) {
        if (batch->rows > 0 && !flush(*batch))
            return false;
    }

    if (!exec(QStringLiteral("DELETE FROM tag WHERE IsSystem=1"), Tag, &m_result->deleted)
        || !exec(QStringLiteral("DELETE FROM tagtext WHERE IsSystem=1"), TagText, &m_result->deleted)
        || !exec(QStringLiteral("UPDATE tag SET IsSystem=1 WHERE IsSystem=2"), Tag)
        || !exec(QStringLiteral("UPDATE tagtext SET IsSystem=1 WHERE IsSystem=2"), TagText))
        return false;

    m_tagUpdate.finish();
    m_textUpdate.finish();
    if (!control.exec(QStringLiteral("COMMIT")))
        return fail(QStringLiteral("cannot commit: ") + control.lastError().text());
    m_inTransaction = false;
    m_result->writeLockSeconds = lockTimer.elapsed() / 1000.0;
    return true;
}

// Integers stay integers; a decimal part makes a real, as the SQL literal would.
// SQLite's reading of a long decimal can differ from a correctly rounded one in
// the last bit, so SQLite reads each distinct decimal once.
KOTagImportRun::Number KOTagImportRun::toNumber(const QStringRef &field, QVariant *value)
{
    const QStringRef s = trimmedNumber(field);
    qint64 integer = 0;
    if (toInteger(s, &integer)) {
        *value = integer;
        return IsNumber;
    }
    if (!hasDecimalSyntax(s))
        return NotANumber;
    const QString text = s.toString();
    auto known = m_decimals.constFind(text);
    if (known != m_decimals.constEnd()) {
        *value = known.value();
        return std::isfinite(known.value()) ? IsNumber : NotANumber;
    }
    if (!m_realPrepared) {
        m_realPrepared = m_real.prepare(QStringLiteral("SELECT CAST(? AS REAL)"));
        if (!m_realPrepared) {
            fail(QStringLiteral("cannot read a number: ") + m_real.lastError().text());
            return NumberFailed;
        }
    }
    m_real.bindValue(0, text);
    if (!m_real.exec() || !m_real.next()) {
        fail(QStringLiteral("cannot read a number: ") + m_real.lastError().text());
        return NumberFailed;
    }
    const double d = m_real.value(0).toDouble();
    m_real.finish();
    // Real dictionaries repeat few distinct decimals; bound the memory for the others.
    if (m_decimals.size() >= 100000)
        m_decimals.clear();
    m_decimals.insert(text, d);
    *value = d;
    return std::isfinite(d) ? IsNumber : NotANumber;
}

bool KOTagImportRun::handleRecord(const QStringRef &record)
{
    if (record.isEmpty()) {
        ++m_result->ignoredRecords;
        return true;
    }
    const QStringRef rest = record.mid(1);
    switch (record.at(0).unicode()) {
    case 'k': ++m_result->keywordRecords; return handleKeyword(rest);
    case 't': ++m_result->textRecords; return handleText(rest);
    case 'r': ++m_result->relationRecords; return handleRelation(rest);
    default:
        ++m_result->ignoredRecords;
        ++m_result->unknownRecords;
        return true;
    }
}

bool KOTagImportRun::handleKeyword(const QStringRef &rest)
{
    QStringRef f[7];
    const int count = splitFields(rest, f, 7);
    qint64 realId = 0;
    const bool idOk = toInteger(f[0], &realId);
    qint64 n[7] = {};
    const bool wellFormed = count == 7 && idOk && toInteger(f[1], &n[1]) && toInteger(f[2], &n[2])
        && toInteger(f[4], &n[4]) && toInteger(f[5], &n[5]) && toInteger(f[6], &n[6]);

    if (!wellFormed) {
        ++m_result->skippedRecords;
        // Keep the row a corrupt record names, rather than sweep a good keyword away.
        if (idOk && m_tags.lookup(f[0], realId, nullptr) == KOTagRowCache::Same)
            return confirm(m_tags, m_tagConfirms, realId);
        return true;
    }

    switch (m_tags.lookup(f[0], realId, &f[1])) {
    case KOTagRowCache::Missing: return add(m_tagInserts, {n[1], n[2], f[3].toString(), n[4], n[5], n[6], realId});
    case KOTagRowCache::Same: return confirm(m_tags, m_tagConfirms, realId);
    case KOTagRowCache::Different:
        return update(m_tags, m_tagUpdate, {n[1], n[2], f[3].toString(), n[4], n[5], n[6]}, realId, Tag);
    case KOTagRowCache::Failed: break;
    }
    return fail(m_tags.error());
}

bool KOTagImportRun::handleText(const QStringRef &rest)
{
    QStringRef f[6];
    const int count = splitFields(rest, f, 6);
    qint64 realId = 0;
    const bool idOk = toInteger(f[0], &realId);
    qint64 tagId = 0;
    qint64 language = 0;
    qint64 isMain = 0;
    QVariant number;
    const Number cislo = count == 6 ? toNumber(f[5], &number) : NotANumber;
    if (cislo == NumberFailed)
        return false;
    const bool wellFormed = count == 6 && idOk && toInteger(f[1], &tagId) && toInteger(f[3], &language)
        && toInteger(f[4], &isMain) && cislo == IsNumber;

    if (!wellFormed) {
        ++m_result->skippedRecords;
        if (idOk && m_texts.lookup(f[0], realId, nullptr) == KOTagRowCache::Same)
            return confirm(m_texts, m_textConfirms, realId);
        return true;
    }

    switch (m_texts.lookup(f[0], realId, &f[1])) {
    case KOTagRowCache::Missing: {
        const QString name = f[2].toString();
        return add(m_textInserts, {tagId, name, KOTagFolding::searchName(name), language, isMain, number, realId});
    }
    case KOTagRowCache::Same: return confirm(m_texts, m_textConfirms, realId);
    case KOTagRowCache::Different: {
        const QString name = f[2].toString();
        return update(m_texts, m_textUpdate, {tagId, name, KOTagFolding::searchName(name), language, isMain, number},
                      realId, TagText);
    }
    case KOTagRowCache::Failed: break;
    }
    return fail(m_texts.error());
}

bool KOTagImportRun::handleRelation(const QStringRef &rest)
{
    QStringRef f[3];
    const int count = splitFields(rest, f, 3);
    qint64 tag1 = 0;
    qint64 tag2 = 0;
    QVariant score;
    const Number parsed = count == 3 ? toNumber(f[2], &score) : NotANumber;
    if (parsed == NumberFailed)
        return false;
    if (count != 3 || !toInteger(f[0], &tag1) || !toInteger(f[1], &tag2) || parsed != IsNumber) {
        ++m_result->skippedRecords;
        return true;
    }
    return add(m_relationInserts, {tag1, tag2, score});
}

// "UPDATE ... WHERE RealID=<id>", addressed by rowid so that a missing index on
// RealID does not cost a table scan per changed row.
bool KOTagImportRun::update(KOTagRowCache &rows, QSqlQuery &statement, std::initializer_list<QVariant> values,
                            qint64 realId, Table table)
{
    m_rowids.clear();
    rows.appendRowsFor(realId, &m_rowids);
    const int last = int(values.size());
    int i = 0;
    for (const QVariant &value : values)
        statement.bindValue(i++, value);
    for (const qint64 rowid : qAsConst(m_rowids)) {
        statement.bindValue(last, rowid);
        if (!statement.exec())
            return fail(QString::fromLatin1(table == Tag ? "tag: " : "tagtext: ") + statement.lastError().text());
        m_result->updated += statement.numRowsAffected();
    }
    rows.noteUpdated(realId);
    return true;
}

// "UPDATE ... SET IsSystem=2 WHERE RealID IN (...)", batched by rowid.
bool KOTagImportRun::confirm(KOTagRowCache &rows, Batch &batch, qint64 realId)
{
    m_rowids.clear();
    rows.appendRowsFor(realId, &m_rowids);
    for (const qint64 rowid : qAsConst(m_rowids)) {
        if (!add(batch, {rowid}))
            return false;
    }
    return true;
}

bool KOTagImportRun::add(Batch &batch, std::initializer_list<QVariant> values)
{
    for (const QVariant &value : values)
        batch.values.append(value);
    ++batch.rows;
    return batch.rows < batch.fullRows || flush(batch);
}

bool KOTagImportRun::flush(Batch &batch)
{
    QSqlQuery partial(m_db);
    QSqlQuery *query = &batch.full;
    const bool full = batch.rows == batch.fullRows;
    if (!full || !batch.fullPrepared) {
        QString statement = batch.head;
        statement.reserve(batch.head.size() + batch.rows * (batch.row.size() + 1) + batch.tail.size());
        for (int i = 0; i < batch.rows; ++i) {
            if (i > 0)
                statement.append(QLatin1Char(','));
            statement.append(batch.row);
        }
        statement.append(batch.tail);
        if (full) {
            batch.fullPrepared = batch.full.prepare(statement);
        } else {
            query = &partial;
            query->prepare(statement);
        }
    }
    for (int i = 0; i < batch.values.size(); ++i)
        query->bindValue(i, batch.values.at(i));
    const bool ok = query->exec();
    const qint64 affected = ok ? query->numRowsAffected() : 0;
    const QString error = ok ? QString() : query->lastError().text();
    query->finish();
    batch.values.clear();
    batch.rows = 0;

    static const char *names[] = {"tag", "tagtext", "tagrelation"};
    if (!ok)
        return failed(batch.table, QString::fromLatin1(names[batch.table]) + QStringLiteral(": ") + error);
    if (!batch.inserts) {
        m_result->unchanged += affected;
        return true;
    }
    m_result->inserted += affected;
    // Later look-ups of this import see these rows, as they would see them in the table.
    if (batch.table == Tag && !m_tags.noteInserted())
        return fail(m_tags.error());
    if (batch.table == TagText && !m_texts.noteInserted())
        return fail(m_texts.error());
    return true;
}
