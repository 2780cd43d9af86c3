#include "xearningscatalog.h"

#include "xserviceanswer.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QVector>

namespace {

struct Day {
    QString year;
    QString month;
    QString day;
};

bool splitDate(const QString &text, Day *d)
{
    const QStringList pieces = text.split(QLatin1Char('-'));
    if (pieces.size() < 3)
        return false;
    *d = {pieces.at(0), pieces.at(1), pieces.at(2)};
    return true;
}

// One new stockstats row: value text, type, date.
struct Row {
    QString value;
    int type;
    Day day;
};

class Update {
public:
    explicit Update(QSqlDatabase db)
        : m_db(std::move(db))
    {
    }

    bool exec(const QString &sql, const QVariantList &values, QSqlQuery *query = nullptr)
    {
        QSqlQuery local(m_db);
        QSqlQuery &q = query ? *query : local;
        q.setForwardOnly(true);
        if (!q.prepare(sql)) {
            m_error = q.lastError().text();
            return false;
        }
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec()) {
            m_error = q.lastError().text();
            return false;
        }
        return true;
    }

    bool flush(QVector<Row> *batch, int *inserts)
    {
        if (batch->isEmpty())
            return true;
        QStringList tuples;
        QVariantList values;
        for (const Row &row : *batch) {
            tuples << QStringLiteral("(NULL, ?, %1, ?, ?, ?, 1)").arg(row.type);
            values << row.value << row.day.day << row.day.month << row.day.year;
        }
        batch->clear();
        ++*inserts;
        return exec(QStringLiteral("INSERT INTO stockstats (ID, Value, Type, Day, Month, Year, StockID) VALUES ")
                        + tuples.join(QLatin1Char(',')),
                    values);
    }

    QString error() const { return m_error; }

private:
    QSqlDatabase m_db;
    QString m_error;
};

QString sameNumber(const QVariant &stored)
{
    return XEarningsCatalog::numberText(stored.toDouble());
}

} // namespace

XEarningsCatalog::XEarningsCatalog(QString path)
    : m_path(std::move(path))
{
}

QString XEarningsCatalog::defaultPath()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::DataLocation);
    return (locations.isEmpty() ? QString() : locations.first()) + QStringLiteral("/data/catalog.dat");
}

QString XEarningsCatalog::numberText(double value)
{
    return QString::number(value, 'g', 6);
}

XEarningsCatalog::Result XEarningsCatalog::apply(const QVariantMap &earnings)
{
    m_inserts = 0;
    XServiceAnswer answer {QVariant(earnings)};
    QString today;
    QString currency;
    QString data;
    double value = 0;
    double rate = 0;
    Day day;
    if (!answer.text(earnings, QStringLiteral("today"), &today)
        || !answer.text(earnings, QStringLiteral("currency"), &currency)
        || !answer.text(earnings, QStringLiteral("data"), &data)
        || !answer.number(earnings, QStringLiteral("value"), &value)
        || !answer.number(earnings, QStringLiteral("rate"), &rate)) {
        m_error = answer.error();
        return Malformed;
    }
    if (!splitDate(today, &day)) {
        m_error = QStringLiteral("malformed answer: \"today\" is not a date: ") + today;
        return Malformed;
    }

    // SQLite would create a missing file: an empty catalog is not the catalog.
    if (!QFile::exists(m_path)) {
        m_error = QStringLiteral("catalog not found: ") + m_path;
        return DatabaseFailed;
    }
    static QAtomicInt serial;
    const QString connection = QStringLiteral("korvalen-catalog-%1").arg(serial.fetchAndAddRelaxed(1));
    Result result = Updated;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(m_path);
        if (!db.open() || !db.transaction()) {
            m_error = db.lastError().text();
            result = DatabaseFailed;
        } else {
            Update update(db);
            bool ok = update.exec(QStringLiteral("UPDATE stock SET Earnings=?, Currency=?, Rate=? WHERE ID=1"),
                                  {numberText(value), currency, numberText(rate)});

            QSqlQuery query(db);
            if (ok)
                ok = update.exec(QStringLiteral("SELECT ID, Value FROM stockstats WHERE StockID=1 AND Year=? AND "
                                                "Month=? AND Day=? AND Type=0 LIMIT 0,1"),
                                 {day.year, day.month, day.day}, &query);
            if (ok) {
                if (!query.next()) {
                    query.finish();
                    ok = update.exec(QStringLiteral("INSERT INTO stockstats (ID, Value, Type, Day, Month, Year, "
                                                    "StockID) VALUES (NULL, ?, 0, ?, ?, ?, 1)"),
                                     {numberText(value), day.day, day.month, day.year});
                } else if (sameNumber(query.value(1)) != numberText(value)) {
                    const QVariant id = query.value(0);
                    query.finish();
                    ok = update.exec(QStringLiteral("UPDATE stockstats SET Value=? WHERE ID=?"),
                                     {numberText(value), id});
                }
                query.finish();
            }

            QVector<Row> batch;
            const QStringList items = data.split(QLatin1Char('|'), Qt::SkipEmptyParts);
            for (int i = 0; ok && i < items.size(); ++i) {
                const QStringList fields = items.at(i).split(QLatin1Char(':'));
                Day d;
                bool amountOk = false;
                bool countOk = false;
                // Items outside the format are skipped, not guessed at.
                if (fields.size() < 3 || !splitDate(fields.at(0), &d))
                    continue;
                const double amount = fields.at(1).toDouble(&amountOk);
                const qlonglong count = fields.at(2).trimmed().toLongLong(&countOk);
                if (!amountOk || !countOk)
                    continue;
                const QString amountText = numberText(amount);
                const QString countText = QString::number(count);

                bool amountPresent = false;
                bool countPresent = false;
                QVector<QPair<QVariant, QString>> changes;
                ok = update.exec(QStringLiteral("SELECT ID, Value, Type FROM stockstats WHERE StockID=1 AND "
                                                "Year=? AND Month=? AND Day=?"),
                                 {d.year, d.month, d.day}, &query);
                while (ok && query.next()) {
                    const int type = query.value(2).toInt();
                    if (type == 1) {
                        amountPresent = true;
                        if (sameNumber(query.value(1)) != amountText)
                            changes.append({query.value(0), amountText});
                    } else if (type == 2) {
                        countPresent = true;
                        if (query.value(1).toLongLong() != count)
                            changes.append({query.value(0), countText});
                    }
                }
                query.finish();
                for (const auto &change : changes) {
                    if (ok)
                        ok = update.exec(QStringLiteral("UPDATE stockstats SET Value=? WHERE ID=?"),
                                         {change.second, change.first});
                }
                if (!amountPresent)
                    batch.append({amountText, 1, d});
                if (!countPresent)
                    batch.append({countText, 2, d});
                if (ok && batch.size() > BatchRows)
                    ok = update.flush(&batch, &m_inserts);
            }
            if (ok)
                ok = update.flush(&batch, &m_inserts);
            if (ok)
                ok = db.commit();
            if (!ok) {
                m_error = update.error().isEmpty() ? db.lastError().text() : update.error();
                db.rollback();
                result = DatabaseFailed;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (result == DatabaseFailed && m_error.trimmed().isEmpty())
        m_error = QStringLiteral("catalog update failed");
    return result;
}
