#include "tagreferenceimport.h"

#include "kotagfolding.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>

namespace {

struct Batch {
    QString text;
    int count = 0;
};

void append(Batch &batch, const QString &item)
{
    if (!batch.text.isEmpty())
        batch.text += QLatin1Char(',');
    batch.text += item;
    ++batch.count;
}

} // namespace

void TagReferenceImport::run(const QString &pathDb, const QString &path)
{
    const QString connection = QStringLiteral("tagreference");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(pathDb);
        db.open();
        QSqlQuery q(db);
        // Durability is irrelevant for a comparison run; it only costs time.
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return;
        QTextStream in(&file);
        in.setCodec("UTF-8");
        const QStringList records = in.readAll().split(QLatin1Char('^'));
        q.exec(QStringLiteral("DELETE FROM tagrelation WHERE 1"));

        const QString tagInsert = QStringLiteral(
            "INSERT INTO tag "
            "(ID,ParentID,SuperiorID,AdjacentTags,IsCategory,IsRedakcni,DontIncludeParents,IsSystem,RealID) VALUES ");
        const QString textInsert = QStringLiteral(
            "INSERT INTO tagtext (ID,TagID,Name,SearchName,JazykID,IsMain,Cislo,IsSystem,RealID) VALUES ");
        const QString relationInsert = QStringLiteral("INSERT INTO tagrelation (ID,TagID1,TagID2,Score) VALUES ");
        const QString tagConfirm = QStringLiteral("UPDATE tag SET IsSystem=2 WHERE RealID IN (");
        const QString textConfirm = QStringLiteral("UPDATE tagtext SET IsSystem=2 WHERE RealID IN (");
        Batch tags, texts, relations, sameTags, sameTexts;
        auto flushAt = [&q](Batch &batch, int limit, const QString &head, const QString &tail) {
            if (batch.count > limit) {
                q.exec(head + batch.text + tail);
                batch = Batch();
            }
        };

        for (const QString &record : records) {
            if (record.isEmpty())
                continue;
            const QStringList f = record.mid(1).split(QLatin1Char('|'));
            if (record.at(0) == QLatin1Char('k') && f.size() >= 7) {
                q.exec(
                    QStringLiteral("SELECT ParentID,SuperiorID,AdjacentTags,IsCategory,IsRedakcni,DontIncludeParents "
                                   "FROM tag WHERE RealID='")
                    + KOTagFolding::escapeQuotes(f[0]) + QStringLiteral("' LIMIT 0,1"));
                if (!q.next()) {
                    append(tags,
                           QStringLiteral("(NULL,%1,%2,'%3',%4,%5,%6,2,%7)")
                               .arg(f[1], f[2], f[3], f[4], f[5], f[6], f[0]));
                    flushAt(tags, 100, tagInsert, QStringLiteral(";"));
                } else {
                    bool same = true;
                    for (int i = 0; i < 6; ++i)
                        same = same && q.value(i).toString() == f[i + 1];
                    if (same) {
                        append(sameTags, f[0]);
                        flushAt(sameTags, 500, tagConfirm, QStringLiteral(")"));
                    } else {
                        q.exec(QStringLiteral("UPDATE tag SET "
                                              "ParentID=%1,SuperiorID=%2,AdjacentTags='%3',IsCategory=%4,IsRedakcni=%5,"
                                              "DontIncludeParents=%6,IsSystem=2 WHERE RealID=%7")
                                   .arg(f[1], f[2], f[3], f[4], f[5], f[6], f[0]));
                    }
                }
            } else if (record.at(0) == QLatin1Char('t') && f.size() >= 6) {
                const QString search = KOTagFolding::searchName(f[2]);
                q.exec(QStringLiteral("SELECT TagID,Name,JazykID,IsMain,Cislo FROM tagtext WHERE RealID='")
                       + KOTagFolding::escapeQuotes(f[0]) + QStringLiteral("' LIMIT 0,1"));
                if (!q.next()) {
                    append(texts,
                           QStringLiteral("(NULL, %1,'%2','%3',%4,%5,%6,2,%7)")
                               .arg(f[1], KOTagFolding::escapeQuotes(f[2]), KOTagFolding::escapeQuotes(search), f[3],
                                    f[4], f[5], f[0]));
                    flushAt(texts, 100, textInsert, QStringLiteral(";"));
                } else {
                    const bool same = q.value(0).toString() == f[1] && q.value(1).toString() == f[2]
                        && q.value(2).toString() == f[3] && q.value(3).toString() == f[4]
                        && q.value(4).toString() == f[5];
                    if (same) {
                        append(sameTexts, f[0]);
                        flushAt(sameTexts, 500, textConfirm, QStringLiteral(")"));
                    } else {
                        q.exec(
                            QStringLiteral(
                                "UPDATE tagtext SET TagID=%1,Name='%2',SearchName='%3',JazykID=%4,IsMain=%5,Cislo=%6,"
                                "IsSystem=2 WHERE RealID=%7")
                                .arg(f[1], KOTagFolding::escapeQuotes(f[2]), KOTagFolding::escapeQuotes(search), f[3],
                                     f[4], f[5], f[0]));
                    }
                }
            } else if (record.at(0) == QLatin1Char('r') && f.size() >= 3) {
                append(relations, QStringLiteral("(NULL, %1,%2,%3)").arg(f[0], f[1], f[2]));
                flushAt(relations, 100, relationInsert, QStringLiteral(";"));
            }
        }
        flushAt(tags, 0, tagInsert, QStringLiteral(";"));
        flushAt(texts, 0, textInsert, QStringLiteral(";"));
        flushAt(relations, 0, relationInsert, QStringLiteral(";"));
        flushAt(sameTags, 0, tagConfirm, QStringLiteral(")"));
        flushAt(sameTexts, 0, textConfirm, QStringLiteral(")"));
        q.exec(QStringLiteral("DELETE FROM tag WHERE IsSystem=1"));
        q.exec(QStringLiteral("DELETE FROM tagtext WHERE IsSystem=1"));
        q.exec(QStringLiteral("UPDATE tag SET IsSystem=1 WHERE IsSystem=2"));
        q.exec(QStringLiteral("UPDATE tagtext SET IsSystem=1 WHERE IsSystem=2"));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}
