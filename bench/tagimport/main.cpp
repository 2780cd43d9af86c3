// tagimport-bench: the dictionary import against a bare bulk load of the same rows.
//   tagimport-bench generate DIR      writes DIR/dictionary-a.txt (1,000,000 records) and
//                                     DIR/dictionary-b.txt (10% of keywords and texts changed)
//   tagimport-bench schema DB [index] creates the application's tables in a new database
//   tagimport-bench run DIR [index]   imports a into empty tables, then b, each timed
//                                     against a bulk load of the rows it produced
#include "kotagimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>
#include <QVariant>
#include <QVector>

#include <cstdio>

namespace {

constexpr int keywordCount = 200000;
constexpr int textCount = 300000;
constexpr int relationCount = 500000;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

const char *const syllables[] = {"ka", "ře", "lo", "vá", "ně", "ště", "zu", "mi", "ťo",
                                 "bé", "dů", "ča", "pí", "so", "jí",  "rů", "ńa", "ló"};

QString randomName(QRandomGenerator &random)
{
    QString name;
    const int words = random.bounded(1, 4);
    for (int w = 0; w < words; ++w) {
        if (w > 0)
            name += QLatin1Char(' ');
        const int parts = random.bounded(2, 5);
        for (int p = 0; p < parts; ++p)
            name += QString::fromUtf8(syllables[random.bounded(int(sizeof(syllables) / sizeof(syllables[0])))]);
        if (w == 0)
            name[0] = name[0].toUpper();
    }
    return name;
}

QString adjacent(QRandomGenerator &random)
{
    QStringList ids;
    const int count = random.bounded(6);
    for (int i = 0; i < count; ++i)
        ids << QString::number(random.bounded(1, keywordCount + 1));
    return ids.join(QLatin1Char(','));
}

bool generate(const QString &dir)
{
    QRandomGenerator random(20261208);
    QFile a(dir + QStringLiteral("/dictionary-a.txt"));
    QFile b(dir + QStringLiteral("/dictionary-b.txt"));
    if (!a.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly))
        return false;
    QTextStream sa(&a);
    QTextStream sb(&b);
    sa.setCodec("UTF-8");
    sb.setCodec("UTF-8");
    bool first = true;
    const auto write = [&](const QString &recordA, const QString &recordB) {
        if (!first) {
            sa << '^';
            sb << '^';
        }
        first = false;
        sa << recordA;
        sb << recordB;
    };
    for (int id = 1; id <= keywordCount; ++id) {
        const int parent = id > 10 && random.bounded(4) ? random.bounded(1, id) : 0;
        const QString record = QStringLiteral("k%1|%2|%3|%4|%5|%6|%7")
                                   .arg(id)
                                   .arg(parent)
                                   .arg(parent ? random.bounded(1, id) : 0)
                                   .arg(adjacent(random))
                                   .arg(random.bounded(8) == 0 ? 1 : 0)
                                   .arg(random.bounded(2))
                                   .arg(random.bounded(2));
        QString changed = record;
        if (id % 10 == 0)
            changed =
                QStringLiteral("k%1|%2|0|%3|0|1|0").arg(id).arg(parent).arg(adjacent(random) + QStringLiteral(",7"));
        write(record, changed);
    }
    for (int id = 1; id <= textCount; ++id) {
        const QString head = QStringLiteral("t%1|%2|").arg(id).arg(random.bounded(1, keywordCount + 1));
        const QString tail =
            QStringLiteral("|%1|%2|%3").arg(random.bounded(1, 4)).arg(random.bounded(2)).arg(random.bounded(10));
        const QString name = randomName(random);
        write(head + name + tail, head + (id % 10 == 0 ? name + QStringLiteral(" nový") : name) + tail);
    }
    for (int i = 0; i < relationCount; ++i) {
        const QString record = QStringLiteral("r%1|%2|0.%3")
                                   .arg(random.bounded(1, keywordCount + 1))
                                   .arg(random.bounded(1, keywordCount + 1))
                                   .arg(random.bounded(1, 1000), 3, 10, QLatin1Char('0'));
        write(record, record);
    }
    sa.flush();
    sb.flush();
    return a.error() == QFile::NoError && b.error() == QFile::NoError;
}

bool createSchema(const QString &path, bool index)
{
    QFile::remove(path);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("schema"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        QStringList statements = {
            QStringLiteral(
                "CREATE TABLE tag (ID INTEGER PRIMARY KEY, ParentID INTEGER, SuperiorID INTEGER, AdjacentTags TEXT, "
                "IsCategory INTEGER, IsRedakcni INTEGER, DontIncludeParents INTEGER, IsSystem INTEGER, RealID "
                "INTEGER)"),
            QStringLiteral("CREATE TABLE tagtext (ID INTEGER PRIMARY KEY, TagID INTEGER, Name TEXT, SearchName TEXT, "
                           "JazykID INTEGER, IsMain INTEGER, Cislo INTEGER, IsSystem INTEGER, RealID INTEGER)"),
            QStringLiteral(
                "CREATE TABLE tagrelation (ID INTEGER PRIMARY KEY, TagID1 INTEGER, TagID2 INTEGER, Score REAL)"),
        };
        if (index)
            statements << QStringLiteral("CREATE INDEX tag_realid ON tag (RealID)")
                       << QStringLiteral("CREATE INDEX tagtext_realid ON tagtext (RealID)");
        for (const QString &statement : statements)
            ok = ok && q.exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schema"));
    return ok;
}

struct Table {
    QString name;
    QStringList columns; // without ID
    QVector<QVariant> values;
};

QVector<Table> readRows(const QString &path)
{
    QVector<Table> tables = {
        {QStringLiteral("tag"),
         QStringLiteral("ParentID,SuperiorID,AdjacentTags,IsCategory,IsRedakcni,DontIncludeParents,IsSystem,RealID")
             .split(QLatin1Char(',')),
         {}},
        {QStringLiteral("tagtext"),
         QStringLiteral("TagID,Name,SearchName,JazykID,IsMain,Cislo,IsSystem,RealID").split(QLatin1Char(',')),
         {}},
        {QStringLiteral("tagrelation"), QStringLiteral("TagID1,TagID2,Score").split(QLatin1Char(',')), {}},
    };
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("read"));
        db.setDatabaseName(path);
        db.open();
        for (Table &table : tables) {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.exec(
                QStringLiteral("SELECT %1 FROM %2 ORDER BY ID").arg(table.columns.join(QLatin1Char(',')), table.name));
            while (q.next()) {
                for (int i = 0; i < table.columns.size(); ++i)
                    table.values.append(q.value(i));
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("read"));
    return tables;
}

// One transaction, one prepared single-row insert per table.
double bulkLoad(const QString &path, const QVector<Table> &tables)
{
    QElapsedTimer timer;
    timer.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bulk"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery control(db);
        control.exec(QStringLiteral("BEGIN IMMEDIATE"));
        for (const Table &table : tables) {
            QSqlQuery insert(db);
            QStringList marks;
            for (int i = 0; i < table.columns.size(); ++i)
                marks << QStringLiteral("?");
            insert.prepare(QStringLiteral("INSERT INTO %1 (ID,%2) VALUES (NULL,%3)")
                               .arg(table.name, table.columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
            const int width = table.columns.size();
            for (int row = 0; row + width <= table.values.size(); row += width) {
                for (int i = 0; i < width; ++i)
                    insert.bindValue(i, table.values.at(row + i));
                if (!insert.exec()) {
                    out() << "bulk load failed: " << insert.lastError().text() << '\n';
                    break;
                }
            }
        }
        control.exec(QStringLiteral("COMMIT"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bulk"));
    return timer.elapsed() / 1000.0;
}

qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool step(const QString &label, const QString &db, const QString &dictionary, const QString &bulkDb, bool index)
{
    const KOTagImportResult result = KOTagImport::importDictionary(db, dictionary);
    out() << label << ": " << result.summary() << '\n';
    out().flush();
    if (!result.ok())
        return false;
    const QVector<Table> rows = readRows(db);
    if (!createSchema(bulkDb, index))
        return false;
    const double bulk = bulkLoad(bulkDb, rows);
    out() << label << ": bulk load of the resulting "
          << (rows[0].values.size() / 8 + rows[1].values.size() / 8 + rows[2].values.size() / 3) << " rows "
          << QString::number(bulk, 'f', 2) << " s; import/bulk " << QString::number(result.seconds / bulk, 'f', 2)
          << "; write lock " << QString::number(result.writeLockSeconds, 'f', 2) << " s\n";
    out().flush();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString command = args.value(1);
    const bool index = args.value(3) == QLatin1String("index");
    if (command == QLatin1String("generate") && args.size() == 3)
        return generate(args.at(2)) ? 0 : 1;
    if (command == QLatin1String("schema") && args.size() >= 3)
        return createSchema(args.at(2), index) ? 0 : 1;
    if (command == QLatin1String("run") && args.size() >= 3) {
        const QString dir = args.at(2);
        const QString db = dir + QStringLiteral("/catalog.db");
        if (!createSchema(db, index))
            return 1;
        out() << (index ? "RealID indexed\n" : "RealID without index\n");
        if (!step(QStringLiteral("first import (a into empty tables)"), db, dir + QStringLiteral("/dictionary-a.txt"),
                  dir + QStringLiteral("/bulk-a.db"), index)
            || !step(QStringLiteral("re-import (b over a)"), db, dir + QStringLiteral("/dictionary-b.txt"),
                     dir + QStringLiteral("/bulk-b.db"), index))
            return 1;
        out() << "peak resident memory of this process " << peakKiB() / 1024
              << " MiB (includes the rows held for the bulk loads)\n";
        return 0;
    }
    std::fprintf(stderr, "usage: tagimport-bench generate DIR | schema DB [index] | run DIR [index]\n");
    return 2;
}
