#include "kotagimport.h"
#include "tagreferenceimport.h"
#include "tagtestdb.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <memory>
#include <thread>

namespace {

const QString tagColumns =
    QStringLiteral("ID,RealID,ParentID,SuperiorID,AdjacentTags,IsCategory,IsRedakcni,DontIncludeParents,IsSystem");
const QString textColumns = QStringLiteral("ID,RealID,TagID,Name,SearchName,JazykID,IsMain,Cislo,IsSystem");
const QString relationColumns = QStringLiteral("TagID1,TagID2,Score");

const QString baseDictionary = QString::fromUtf16(
    u"k1|0|0|2,3|1|0|0^k2|1|0||0|1|0^t10|1|Žluťoučký kůň|1|1|3^t11|2|Crème  Brûlée!|2|0|1.5^r1|2|0.75^r2|1|3");

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// Well-formed records in a shuffled mix of kinds. Identifiers repeat and each
// field takes few values, so that rows are inserted, confirmed, changed and
// changed back within one import; numbers are written in several ways.
// With lineBreaks, records end in a line break and identifiers carry white
// space now and then, as hand-edited dictionaries do.
QString randomDictionary(quint32 seed, int records, bool lineBreaks = false)
{
    QRandomGenerator random(seed);
    const auto pick = [&random](const QStringList &list) { return list.at(random.bounded(list.size())); };
    const QStringList flags = {QStringLiteral("0"), QStringLiteral("1")};
    const QStringList numbers = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("007"), QStringLiteral("-3")};
    const QStringList scores = {QStringLiteral("4"), QStringLiteral("15097.965373"),
                                QStringLiteral("80599.12741887864104")};
    const QStringList names = {QStringLiteral("O'Brien"), QString::fromUtf16(u"Žluťoučký kůň"),
                               QString::fromUtf16(u"Москва"), QStringLiteral("x\"y\\z")};
    const auto id = [&random, lineBreaks](int limit) {
        const QString number = QString::number(random.bounded(1, limit));
        return lineBreaks && random.bounded(10) == 0 ? QStringLiteral("\t") + number : number;
    };
    QStringList out;
    for (int i = 0; i < records; ++i) {
        const int kind = random.bounded(10);
        if (kind < 4) {
            out << QStringLiteral("k%1|%2|0|%3|%4|0|%5")
                       .arg(id(150))
                       .arg(pick(flags), random.bounded(2) ? QStringLiteral("1,2") : QString(), pick(flags),
                            random.bounded(8) ? QStringLiteral("0") : pick(numbers));
        } else if (kind < 8) {
            out << QStringLiteral("t%1|%2|%3|1|%4|%5")
                       .arg(id(200))
                       .arg(pick(flags), random.bounded(3) ? names.at(0) : pick(names), pick(flags),
                            random.bounded(6)       ? QStringLiteral("0")
                                : random.bounded(2) ? QStringLiteral("2.50")
                                                    : QStringLiteral("27846.59842611014210"));
        } else {
            out << QStringLiteral("r%1|%2|%3")
                       .arg(pick(numbers), pick(numbers), random.bounded(3) ? QStringLiteral("0.5") : pick(scores));
        }
        if (lineBreaks && random.bounded(3) == 0)
            out.last() += random.bounded(4) ? QStringLiteral("\n") : QStringLiteral(" \n");
    }
    return out.join(QLatin1Char('^'));
}

} // namespace

class TestKOTagImport : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    int m_files = 0;

    void createDatabase(TagTestDb::Schema schema, bool withRelations = true);
    KOTagImportResult import(const QString &dictionary, const QString &db = QString());
    QString dictionaryFile(const QString &text);

private Q_SLOTS:
    void initTestCase_data();
    void init();

    void firstImport();
    void reimport_data();
    void reimport();
    void hostileTextStoredAsItStands_data();
    void hostileTextStoredAsItStands();
    void wellFormedValues_data();
    void wellFormedValues();
    void unrecognisedRecordsIgnored();
    void malformedRecordSkipped_data();
    void malformedRecordSkipped();
    void corruptRecordKeepsItsRow();
    void batchVisibility_data();
    void batchVisibility();
    void unusableInputChangesNothing_data();
    void unusableInputChangesNothing();
    void relationFailuresTolerated_data();
    void relationFailuresTolerated();
    void failingStatementRollsBack_data();
    void failingStatementRollsBack();
    void cancelledImportRollsBack();
    void matchesStatementByStatementImport_data();
    void matchesStatementByStatementImport();
    void sharedIdentifierAnswersAsTheStatement_data();
    void sharedIdentifierAnswersAsTheStatement();
    void concurrentImports();
};

void TestKOTagImport::initTestCase_data()
{
    QTest::addColumn<int>("schema");
    QTest::newRow("RealID-without-index") << int(TagTestDb::IntegerRealId);
    QTest::newRow("RealID-indexed") << int(TagTestDb::IndexedRealId);
}

void TestKOTagImport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = m_dir->filePath(QStringLiteral("catalog.db"));
    m_files = 0;
    QFETCH_GLOBAL(int, schema);
    createDatabase(TagTestDb::Schema(schema));
}

void TestKOTagImport::createDatabase(TagTestDb::Schema schema, bool withRelations)
{
    QFile::remove(m_db);
    TagTestDb db(m_db);
    QVERIFY(db.create(schema, withRelations));
}

QString TestKOTagImport::dictionaryFile(const QString &text)
{
    const QString path = m_dir->filePath(QStringLiteral("dictionary%1.txt").arg(++m_files));
    writeText(path, text);
    return path;
}

KOTagImportResult TestKOTagImport::import(const QString &dictionary, const QString &db)
{
    return KOTagImport::importDictionary(db.isEmpty() ? m_db : db, dictionaryFile(dictionary));
}

void TestKOTagImport::firstImport()
{
    const KOTagImportResult result = import(baseDictionary);
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.keywordRecords, 2);
    QCOMPARE(result.textRecords, 2);
    QCOMPARE(result.relationRecords, 2);
    QCOMPARE(result.inserted, 6);

    TagTestDb db(m_db);
    QCOMPARE(db.rows(QStringLiteral("tag"), tagColumns),
             QStringList({QStringLiteral("1|1|0|0|'2,3'|1|0|0|1"), QStringLiteral("2|2|1|0|''|0|1|0|1")}));
    QCOMPARE(db.rows(QStringLiteral("tagtext"), textColumns),
             QStringList({QString::fromUtf16(u"1|10|1|'Žluťoučký kůň'|'zlutoucky kun'|1|1|3|1"),
                          QString::fromUtf16(u"2|11|2|'Crème  Brûlée!'|'creme brulee'|2|0|1.5|1")}));
    QCOMPARE(db.rows(QStringLiteral("tagrelation"), relationColumns),
             QStringList({QStringLiteral("1|2|0.75"), QStringLiteral("2|1|3.0")}));
}

void TestKOTagImport::reimport_data()
{
    QTest::addColumn<QStringList>("applicationRows");
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<QStringList>("tags");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("relations");

    const QStringList baseTags = {QStringLiteral("1|1|0|0|'2,3'|1|0|0|1"), QStringLiteral("2|2|1|0|''|0|1|0|1")};
    const QStringList baseTexts = {QString::fromUtf16(u"1|10|1|'Žluťoučký kůň'|'zlutoucky kun'|1|1|3|1"),
                                   QString::fromUtf16(u"2|11|2|'Crème  Brûlée!'|'creme brulee'|2|0|1.5|1")};
    const QStringList baseRelations = {QStringLiteral("1|2|0.75"), QStringLiteral("2|1|3.0")};

    QTest::newRow("identical-dictionary-keeps-rows")
        << QStringList() << baseDictionary << baseTags << baseTexts << baseRelations;
    QTest::newRow("changed-rows-updated-in-place")
        << QStringList()
        << QString::fromUtf16(
               u"k1|0|0|2,3,4|1|0|0^k2|1|0||0|1|0^t10|1|Žlutý kůň|1|1|3^t11|2|Crème  Brûlée!|2|0|2^r2|1|3")
        << QStringList({QStringLiteral("1|1|0|0|'2,3,4'|1|0|0|1"), baseTags.at(1)})
        << QStringList({QString::fromUtf16(u"1|10|1|'Žlutý kůň'|'zluty kun'|1|1|3|1"),
                        QString::fromUtf16(u"2|11|2|'Crème  Brûlée!'|'creme brulee'|2|0|2|1")})
        << QStringList({QStringLiteral("2|1|3.0")});
    QTest::newRow("missing-imported-rows-deleted-application-rows-kept")
        << QStringList({QStringLiteral("INSERT INTO tag VALUES (3,0,0,'own',0,0,0,0,77)"),
                        QStringLiteral("INSERT INTO tagtext VALUES (3,3,'own','own',1,1,0,0,78)")})
        << QString::fromUtf16(u"k2|1|0||0|1|0^t11|2|Crème  Brûlée!|2|0|1.5")
        << QStringList({baseTags.at(1), QStringLiteral("3|77|0|0|'own'|0|0|0|0")})
        << QStringList({baseTexts.at(1), QStringLiteral("3|78|3|'own'|'own'|1|1|0|0")}) << QStringList();
    QTest::newRow("application-relations-rebuilt")
        << QStringList({QStringLiteral("INSERT INTO tagrelation VALUES (NULL,9,9,9)")}) << baseDictionary << baseTags
        << baseTexts << baseRelations;
    QString lineBroken = baseDictionary;
    lineBroken.replace(QLatin1Char('^'), QStringLiteral("\n^"));
    QTest::newRow("line-breaks-at-record-ends-keep-every-record")
        << QStringList() << lineBroken + QLatin1Char('\n') << baseTags << baseTexts << baseRelations;
    QTest::newRow("changed-numbers-written-differently-update")
        << QStringList()
        << QString::fromUtf16(
               u"k1|00|0|2,3|1|0|0^k2|1|0||0|1|0^t10|1|Žluťoučký kůň|1|1|3.0^t11|2|Crème  Brûlée!|2|0|1.5")
        << QStringList({QStringLiteral("1|1|0|0|'2,3'|1|0|0|1"), baseTags.at(1)})
        << QStringList({QString::fromUtf16(u"1|10|1|'Žluťoučký kůň'|'zlutoucky kun'|1|1|3|1"), baseTexts.at(1)})
        << QStringList();
}

void TestKOTagImport::reimport()
{
    QFETCH(QStringList, applicationRows);
    QFETCH(QString, dictionary);
    QFETCH(QStringList, tags);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, relations);

    QVERIFY(import(baseDictionary).ok());
    {
        TagTestDb db(m_db);
        QCOMPARE(db.exec(applicationRows), QString());
    }
    const KOTagImportResult result = import(dictionary);
    QVERIFY2(result.ok(), qPrintable(result.summary()));

    TagTestDb db(m_db);
    QCOMPARE(db.rows(QStringLiteral("tag"), tagColumns), tags);
    QCOMPARE(db.rows(QStringLiteral("tagtext"), textColumns), texts);
    QCOMPARE(db.rows(QStringLiteral("tagrelation"), relationColumns), relations);
}

void TestKOTagImport::hostileTextStoredAsItStands_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
    QTest::newRow("lone-apostrophe") << QStringLiteral("'");
    QTest::newRow("double-quotes") << QStringLiteral("say \"cheese\"");
    QTest::newRow("backslashes") << QStringLiteral("C:\\tags\\");
    QTest::newRow("backslash-apostrophe") << QStringLiteral("\\'");
    QTest::newRow("sql-drop") << QStringLiteral("x'); DROP TABLE tag; --");
    QTest::newRow("sql-comment-and-semicolon") << QStringLiteral("1,2);-- ;");
    QTest::newRow("placeholder-lookalikes") << QStringLiteral("? :a @b $c %1");
    QTest::newRow("null-word") << QStringLiteral("NULL");
    QTest::newRow("line-break-inside") << QStringLiteral("two\nlines");
}

void TestKOTagImport::hostileTextStoredAsItStands()
{
    QFETCH(QString, text);
    const QString hostile = QStringLiteral("k1|0|0|%1|0|0|0^t10|1|%1|1|1|0^r1|1|1").arg(text);
    // Read back unquoted: any change on the way in shows as a difference.
    const auto check = [this, &text] {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hostile-check"));
        raw.setDatabaseName(m_db);
        QVERIFY(raw.open());
        {
            QSqlQuery q(raw);
            QVERIFY(q.exec(QStringLiteral(
                "SELECT AdjacentTags, (SELECT Name FROM tagtext), (SELECT count(*) FROM tagrelation) FROM tag")));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), text);
            QCOMPARE(q.value(1).toString(), text);
            QCOMPARE(q.value(2).toInt(), 1);
            QVERIFY(!q.next());
        }
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("hostile-check"));
    };

    KOTagImportResult result = import(hostile);
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.inserted, 3);
    check();

    QVERIFY(import(QStringLiteral("k1|0|0|plain|0|0|0^t10|1|plain|1|1|0")).ok());
    result = import(hostile);
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.updated, 2);
    check();
}

void TestKOTagImport::wellFormedValues_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("row");
    QTest::newRow("negative-identifiers") << QStringLiteral("k-3|-1|0|x|1|0|0") << QStringLiteral("tag")
                                          << QStringLiteral("RealID,ParentID") << QStringLiteral("-3|-1");
    QTest::newRow("leading-zeros-become-numbers") << QStringLiteral("k5|007|0|x|1|0|0") << QStringLiteral("tag")
                                                  << QStringLiteral("RealID,ParentID") << QStringLiteral("5|7");
    QTest::newRow("extra-fields-ignored")
        << QStringLiteral("k4|1|2|x|1|0|0|extra|more") << QStringLiteral("tag")
        << QStringLiteral("RealID,ParentID,SuperiorID,AdjacentTags,DontIncludeParents")
        << QStringLiteral("4|1|2|'x'|0");
    QTest::newRow("numeric-looking-text-stays-text")
        << QStringLiteral("k6|1|2|42|1|0|0") << QStringLiteral("tag") << QStringLiteral("typeof(AdjacentTags)")
        << QStringLiteral("'text'");
    QTest::newRow("decimal-cislo") << QStringLiteral("t5|1|n|1|1|2.50") << QStringLiteral("tagtext")
                                   << QStringLiteral("Cislo") << QStringLiteral("2.5");
    QTest::newRow("empty-name") << QStringLiteral("t5|1||1|1|0") << QStringLiteral("tagtext")
                                << QStringLiteral("Name,SearchName") << QStringLiteral("''|''");
    QTest::newRow("negative-decimal-score") << QStringLiteral("r1|2|-0.25") << QStringLiteral("tagrelation")
                                            << QStringLiteral("Score") << QStringLiteral("-0.25");
    QTest::newRow("keyword-line-break-at-end") << QStringLiteral("k5|1|0|x|1|0|0\n") << QStringLiteral("tag")
                                               << QStringLiteral("RealID,DontIncludeParents") << QStringLiteral("5|0");
    QTest::newRow("text-line-break-at-end") << QStringLiteral("t5|1|n|1|1|2.5\n") << QStringLiteral("tagtext")
                                            << QStringLiteral("RealID,Cislo") << QStringLiteral("5|2.5");
    QTest::newRow("relation-white-space-at-end") << QStringLiteral("r1|2|0.5 \t\f\n") << QStringLiteral("tagrelation")
                                                 << QStringLiteral("Score") << QStringLiteral("0.5");
    QTest::newRow("white-space-around-numbers")
        << QStringLiteral("k\t5 | 7\n|0|x|1|0|0") << QStringLiteral("tag")
        << QStringLiteral("RealID,ParentID,AdjacentTags") << QStringLiteral("5|7|'x'");
    // Decimals that SQLite reads one bit away from the nearest double: stored
    // as the literal in a statement would be.
    QTest::newRow("decimal-score-read-as-sqlite-reads-it")
        << QStringLiteral("r1|2|15097.965373") << QStringLiteral("tagrelation") << QStringLiteral("Score=15097.965373")
        << QStringLiteral("1");
    QTest::newRow("long-decimal-score-read-as-sqlite-reads-it")
        << QStringLiteral("r1|2|-71869.195158429") << QStringLiteral("tagrelation")
        << QStringLiteral("Score=-71869.195158429") << QStringLiteral("1");
    QTest::newRow("decimal-cislo-read-as-sqlite-reads-it")
        << QStringLiteral("t5|1|n|1|1|33456.991471972\n") << QStringLiteral("tagtext")
        << QStringLiteral("Cislo=33456.991471972") << QStringLiteral("1");
    QTest::newRow("integer-score") << QStringLiteral("r1|2|7") << QStringLiteral("tagrelation")
                                   << QStringLiteral("typeof(Score)") << QStringLiteral("'real'");
}

void TestKOTagImport::wellFormedValues()
{
    QFETCH(QString, record);
    QFETCH(QString, table);
    QFETCH(QString, columns);
    QFETCH(QString, row);
    const KOTagImportResult result = import(record);
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.skippedRecords, 0);
    TagTestDb db(m_db);
    QCOMPARE(db.rows(table, columns), QStringList({row}));
}

void TestKOTagImport::unrecognisedRecordsIgnored()
{
    const KOTagImportResult result =
        import(QStringLiteral("^^x1|2|3^\nk5|0|0||0|0|0^K6|0|0||0|0|0^k1|0|0||0|0|0^ t7|1|a|1|1|0^"));
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.ignoredRecords, 7);
    QCOMPARE(result.keywordRecords, 1);
    QCOMPARE(result.skippedRecords, 0);
    TagTestDb db(m_db);
    QCOMPARE(db.rows(QStringLiteral("tag"), QStringLiteral("RealID")), QStringList({QStringLiteral("1")}));
    QCOMPARE(db.rows(QStringLiteral("tagtext"), QStringLiteral("RealID")), QStringList());
}

void TestKOTagImport::malformedRecordSkipped_data()
{
    QTest::addColumn<QString>("record");
    QTest::newRow("keyword-six-fields") << QStringLiteral("k3|0|0||0|0");
    QTest::newRow("keyword-kind-only") << QStringLiteral("k");
    QTest::newRow("keyword-empty-realid") << QStringLiteral("k|0|0||0|0|0");
    QTest::newRow("keyword-letter-in-parent") << QStringLiteral("k3|x|0||0|0|0");
    QTest::newRow("keyword-empty-flag") << QStringLiteral("k3|0|0||0||0");
    QTest::newRow("keyword-decimal-flag") << QStringLiteral("k3|0|0||0.5|0|0");
    QTest::newRow("keyword-plus-sign") << QStringLiteral("k3|+1|0||0|0|0");
    QTest::newRow("keyword-space-inside-number") << QStringLiteral("k3|1 2|0||0|0|0");
    QTest::newRow("keyword-only-line-break") << QStringLiteral("k3|\n|0||0|0|0");
    QTest::newRow("keyword-vertical-tab") << QStringLiteral("k3|1\v|0||0|0|0");
    QTest::newRow("keyword-overflowing-id") << QStringLiteral("k99999999999999999999|0|0||0|0|0");
    QTest::newRow("keyword-sql-in-number") << QStringLiteral("k3|0);DROP TABLE tag;--|0||0|0|0");
    QTest::newRow("keyword-apostrophe-in-id") << QStringLiteral("k3'|0|0||0|0|0");
    QTest::newRow("text-five-fields") << QStringLiteral("t21|1|n|1|1");
    QTest::newRow("text-letter-in-tagid") << QStringLiteral("t21|a|n|1|1|0");
    QTest::newRow("text-hex-cislo") << QStringLiteral("t21|1|n|1|1|0x10");
    QTest::newRow("text-exponent-cislo") << QStringLiteral("t21|1|n|1|1|1e5");
    QTest::newRow("text-decimal-ismain") << QStringLiteral("t21|1|n|1|1.0|0");
    QTest::newRow("relation-two-fields") << QStringLiteral("r1|2");
    QTest::newRow("relation-empty-score") << QStringLiteral("r1|2|");
    QTest::newRow("relation-bare-fraction-score") << QStringLiteral("r1|2|.5");
    QTest::newRow("relation-trailing-dot-score") << QStringLiteral("r1|2|5.");
    QTest::newRow("relation-decimal-id") << QStringLiteral("r1.5|2|1");
}

void TestKOTagImport::malformedRecordSkipped()
{
    QFETCH(QString, record);
    const KOTagImportResult result =
        import(QStringLiteral("k1|0|0||0|0|0^%1^k2|0|0||0|0|0^t20|1|n|1|1|0^r1|2|0.5").arg(record));
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.skippedRecords, 1);
    TagTestDb db(m_db);
    QCOMPARE(db.rows(QStringLiteral("tag"), QStringLiteral("RealID")),
             QStringList({QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(db.rows(QStringLiteral("tagtext"), QStringLiteral("RealID")), QStringList({QStringLiteral("20")}));
    QCOMPARE(db.rows(QStringLiteral("tagrelation"), relationColumns), QStringList({QStringLiteral("1|2|0.5")}));
}

void TestKOTagImport::corruptRecordKeepsItsRow()
{
    QVERIFY(import(QStringLiteral("k5|1|0|a|0|0|0^k6|1|0|b|0|0|0^t50|5|five|1|1|0^t60|6|six|1|1|0")).ok());
    QStringList before;
    {
        TagTestDb db(m_db);
        before = db.dump();
    }
    const KOTagImportResult result =
        import(QStringLiteral("k5|1|0|a|0|zero|0^k6|1|0|b|0|0|0^t50|5|five^t60|6|six|1|1|0^k7|x^t70"));
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.skippedRecords, 4);
    QCOMPARE(result.deleted, 0);
    TagTestDb db(m_db);
    QCOMPARE(db.dump(), before);
}

void TestKOTagImport::batchVisibility_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("newRows");
    QTest::addColumn<QStringList>("rowsOfFirstId");
    QTest::addColumn<int>("updated");
    // A repeated identifier finds its first row only once the multi-row insert
    // holding it has run, which happens with the 101st new row.
    QTest::newRow("keyword-repeat-inside-batch")
        << QStringLiteral("k") << 100 << QStringList({QStringLiteral("1|0"), QStringLiteral("1|9")}) << 0;
    QTest::newRow("keyword-repeat-after-full-batch")
        << QStringLiteral("k") << 101 << QStringList({QStringLiteral("1|9")}) << 1;
    QTest::newRow("keyword-repeat-after-102")
        << QStringLiteral("k") << 102 << QStringList({QStringLiteral("1|9")}) << 1;
    QTest::newRow("keyword-repeat-after-three-batches")
        << QStringLiteral("k") << 303 << QStringList({QStringLiteral("1|9")}) << 1;
    QTest::newRow("text-repeat-inside-batch")
        << QStringLiteral("t") << 100 << QStringList({QStringLiteral("1|0"), QStringLiteral("1|9")}) << 0;
    QTest::newRow("text-repeat-after-full-batch")
        << QStringLiteral("t") << 101 << QStringList({QStringLiteral("1|9")}) << 1;
}

void TestKOTagImport::batchVisibility()
{
    QFETCH(QString, kind);
    QFETCH(int, newRows);
    QFETCH(QStringList, rowsOfFirstId);
    QFETCH(int, updated);
    const bool keyword = kind == QLatin1String("k");
    QStringList records;
    for (int i = 1; i <= newRows; ++i)
        records << (keyword ? QStringLiteral("k%1|0|0||0|0|0") : QStringLiteral("t%1|0|n|1|1|0")).arg(i);
    records << (keyword ? QStringLiteral("k1|9|0||0|0|0") : QStringLiteral("t1|9|n|1|1|0"));
    const KOTagImportResult result = import(records.join(QLatin1Char('^')));
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QCOMPARE(result.updated, updated);
    QCOMPARE(result.inserted, newRows + 1 - updated);

    TagTestDb db(m_db);
    const QString table = keyword ? QStringLiteral("tag") : QStringLiteral("tagtext");
    const QString columns = keyword ? QStringLiteral("RealID,ParentID") : QStringLiteral("RealID,TagID");
    QCOMPARE(db.rows(table, columns).filter(QRegularExpression(QStringLiteral("^1\\|"))), rowsOfFirstId);
    QCOMPARE(db.rows(table, QStringLiteral("IsSystem")).filter(QStringLiteral("2")), QStringList());
}

void TestKOTagImport::unusableInputChangesNothing_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<int>("status");
    QTest::newRow("missing-dictionary") << QString() << QStringLiteral("no-such-file.txt")
                                        << int(KOTagImportResult::DictionaryUnreadable);
    QTest::newRow("dictionary-is-a-directory")
        << QString() << QStringLiteral(".") << int(KOTagImportResult::DictionaryUnreadable);
    QTest::newRow("oversized-dictionary")
        << QString() << QStringLiteral("oversized.txt") << int(KOTagImportResult::DictionaryUnreadable);
    // No size to check beforehand, and no end.
    QTest::newRow("endless-device-as-dictionary")
        << QString() << QStringLiteral("/dev/zero") << int(KOTagImportResult::DictionaryUnreadable);
    // Opening a FIFO would wait for a writer for ever.
    QTest::newRow("fifo-as-dictionary")
        << QString() << QStringLiteral("fifo") << int(KOTagImportResult::DictionaryUnreadable);
    // Splits into records too, nearly all malformed: the earlier import stays.
    QTest::newRow("random-bytes-as-dictionary")
        << QString() << QStringLiteral("random.bin") << int(KOTagImportResult::NotADictionary);
    QTest::newRow("missing-database") << QStringLiteral("no-such.db") << QString()
                                      << int(KOTagImportResult::DatabaseUnavailable);
    QTest::newRow("database-is-not-sqlite")
        << QStringLiteral("dictionary1.txt") << QString() << int(KOTagImportResult::DatabaseUnavailable);
    QTest::newRow("database-without-tag-tables")
        << QStringLiteral("other.db") << QString() << int(KOTagImportResult::DatabaseUnavailable);
}

void TestKOTagImport::unusableInputChangesNothing()
{
    QFETCH(QString, database);
    QFETCH(QString, dictionary);
    QFETCH(int, status);

    QVERIFY(import(baseDictionary).ok());
    QStringList before;
    {
        TagTestDb db(m_db);
        before = db.dump();
    }
    const QString dbPath = database.isEmpty() ? m_db : m_dir->filePath(database);
    const QString dictPath = dictionary.isEmpty() ? dictionaryFile(QStringLiteral("k9|0|0||0|0|0"))
        : QDir::isAbsolutePath(dictionary)        ? dictionary
                                                  : m_dir->filePath(dictionary);
    if (dictionary == QLatin1String("oversized.txt")) {
        QFile oversized(dictPath);
        QVERIFY(oversized.open(QIODevice::WriteOnly) && oversized.resize(qint64(257) << 20));
    }
    if (dictionary == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(dictPath).constData(), 0600), 0);
    if (dictionary == QLatin1String("random.bin")) {
        QByteArray bytes(256 * 1024, Qt::Uninitialized);
        QRandomGenerator random(20);
        for (char &c : bytes)
            c = char(random.bounded(256));
        QFile file(dictPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    if (database == QLatin1String("other.db")) {
        TagTestDb other(dbPath);
        QCOMPARE(other.exec({QStringLiteral("CREATE TABLE unrelated (x)")}), QString());
    }
    const QByteArray dbBytes = [&dbPath] {
        QFile f(dbPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    const KOTagImportResult result = KOTagImport::importDictionary(dbPath, dictPath);
    QCOMPARE(int(result.status), status);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(result.summary().contains(result.error));

    QFile after(dbPath);
    QCOMPARE(after.exists(), !dbBytes.isEmpty());
    if (after.open(QIODevice::ReadOnly))
        QCOMPARE(after.readAll(), dbBytes);
    TagTestDb db(m_db);
    QCOMPARE(db.dump(), before);
}

void TestKOTagImport::relationFailuresTolerated_data()
{
    QTest::addColumn<bool>("withRelations");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QStringList>("relations");
    QTest::newRow("missing-relation-table") << false << QString() << QStringList();
    QTest::newRow("refused-relation-batch") << true
                                            << QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tagrelation WHEN "
                                                              "NEW.TagID1=2 BEGIN SELECT RAISE(ABORT,'refused'); END")
                                            << QStringList();
}

void TestKOTagImport::relationFailuresTolerated()
{
    QFETCH(bool, withRelations);
    QFETCH(QString, trigger);
    QFETCH(QStringList, relations);
    QFETCH_GLOBAL(int, schema);
    createDatabase(TagTestDb::Schema(schema), withRelations);
    if (!trigger.isEmpty()) {
        TagTestDb db(m_db);
        QCOMPARE(db.exec({trigger}), QString());
    }
    const KOTagImportResult result = import(baseDictionary);
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QVERIFY(result.failedRelationStatements > 0);
    TagTestDb db(m_db);
    QCOMPARE(db.rows(QStringLiteral("tag"), QStringLiteral("RealID,IsSystem")),
             QStringList({QStringLiteral("1|1"), QStringLiteral("2|1")}));
    QCOMPARE(db.rows(QStringLiteral("tagtext"), QStringLiteral("RealID,IsSystem")),
             QStringList({QStringLiteral("10|1"), QStringLiteral("11|1")}));
    if (withRelations)
        QCOMPARE(db.rows(QStringLiteral("tagrelation"), relationColumns), relations);
}

void TestKOTagImport::failingStatementRollsBack_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("table");
    const QString raise = QStringLiteral(" BEGIN SELECT RAISE(ABORT,'refused'); END");
    QTest::newRow("tag-insert") << QStringLiteral("CREATE TRIGGER f BEFORE INSERT ON tag WHEN NEW.RealID=3") + raise
                                << QStringLiteral("tag");
    QTest::newRow("tag-update") << QStringLiteral("CREATE TRIGGER f BEFORE UPDATE OF ParentID ON tag WHEN NEW.RealID=2")
            + raise << QStringLiteral("tag");
    QTest::newRow("tag-confirm") << QStringLiteral(
                                        "CREATE TRIGGER f BEFORE UPDATE ON tag WHEN NEW.RealID=1 AND NEW.IsSystem=2")
            + raise << QStringLiteral("tag");
    QTest::newRow("tag-sweep") << QStringLiteral("CREATE TRIGGER f BEFORE DELETE ON tag") + raise
                               << QStringLiteral("tag");
    QTest::newRow("tagtext-insert") << QStringLiteral("CREATE TRIGGER f BEFORE INSERT ON tagtext") + raise
                                    << QStringLiteral("tagtext");
    QTest::newRow("tagtext-update") << QStringLiteral("CREATE TRIGGER f BEFORE UPDATE OF Name ON tagtext") + raise
                                    << QStringLiteral("tagtext");
    QTest::newRow("tagtext-final-mark") << QStringLiteral(
                                               "CREATE TRIGGER f BEFORE UPDATE ON tagtext WHEN NEW.IsSystem=1")
            + raise << QStringLiteral("tagtext");
    QTest::newRow("relation-aborting-transaction")
        << QStringLiteral("CREATE TRIGGER f BEFORE INSERT ON tagrelation BEGIN SELECT RAISE(ROLLBACK,'gone'); END")
        << QStringLiteral("tagrelation");
}

void TestKOTagImport::failingStatementRollsBack()
{
    QFETCH(QString, trigger);
    QFETCH(QString, table);
    QVERIFY(import(baseDictionary + QStringLiteral("^k9|0|0||0|0|0^t90|9|old|1|1|0")).ok());
    QStringList before;
    {
        TagTestDb db(m_db);
        QCOMPARE(db.exec({trigger}), QString());
        before = db.dump();
    }
    // New, changed, unchanged and missing rows of both tables, and relations.
    const KOTagImportResult result =
        import(QString::fromUtf16(u"k1|0|0|2,3|1|0|0^k2|5|0||0|1|0^k3|0|0||0|0|0^t10|1|Žluťoučký "
                                  u"kůň|1|1|3^t11|2|Changed|2|0|1.5^t12|3|new|1|1|0^r1|2|0.75"));
    QCOMPARE(int(result.status), int(KOTagImportResult::RolledBack));
    QVERIFY2(result.error.startsWith(table + QLatin1Char(':')), qPrintable(result.error));
    QVERIFY(result.summary().contains(QLatin1String("rolled back")));
    TagTestDb db(m_db);
    QCOMPARE(db.dump(), before);
}

void TestKOTagImport::cancelledImportRollsBack()
{
    QVERIFY(import(baseDictionary).ok());
    QStringList before;
    {
        TagTestDb db(m_db);
        before = db.dump();
    }
    QStringList records;
    for (int i = 100; i < 20100; ++i)
        records << QStringLiteral("k%1|0|0||0|0|0").arg(i);
    std::atomic<bool> cancelled {false};
    KOTagImport importer(m_db, dictionaryFile(records.join(QLatin1Char('^'))));
    // Cancelled from inside the write transaction, as the page closing does it.
    importer.setProgressHandler(1000, [&cancelled](qint64 handled) {
        if (handled >= 5000)
            cancelled = true;
    });
    importer.setCancelFlag(&cancelled);
    const KOTagImportResult result = importer.run();
    QCOMPARE(int(result.status), int(KOTagImportResult::RolledBack));
    QCOMPARE(result.error, QStringLiteral("import cancelled"));
    TagTestDb db(m_db);
    QCOMPARE(db.dump(), before);
}

void TestKOTagImport::matchesStatementByStatementImport_data()
{
    QTest::addColumn<int>("schemaOverride");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("lineBreaks");
    QTest::newRow("declared-schema-seed-1") << -1 << 1u << false;
    QTest::newRow("declared-schema-seed-2") << -1 << 2u << false;
    QTest::newRow("text-RealID") << int(TagTestDb::TextRealId) << 3u << false;
    QTest::newRow("untyped-RealID") << int(TagTestDb::UntypedRealId) << 4u << false;
    QTest::newRow("line-breaks-declared-schema") << -1 << 5u << true;
    QTest::newRow("composite-index") << int(TagTestDb::CompositeIndexRealId) << 8u << false;
    QTest::newRow("composite-index-line-breaks") << int(TagTestDb::CompositeIndexRealId) << 9u << true;
    QTest::newRow("line-breaks-text-RealID") << int(TagTestDb::TextRealId) << 6u << true;
    QTest::newRow("line-breaks-untyped-RealID") << int(TagTestDb::UntypedRealId) << 7u << true;
}

void TestKOTagImport::matchesStatementByStatementImport()
{
    QFETCH(int, schemaOverride);
    QFETCH(quint32, seed);
    QFETCH(bool, lineBreaks);
    if (schemaOverride >= 0)
        createDatabase(TagTestDb::Schema(schemaOverride));
    {
        TagTestDb db(m_db);
        QCOMPARE(db.exec({QStringLiteral("INSERT INTO tag VALUES (NULL,0,0,'own',0,0,0,0,5)"),
                          QStringLiteral("INSERT INTO tag VALUES (NULL,0,0,'old',0,0,0,1,9999)"),
                          QStringLiteral("INSERT INTO tag VALUES (NULL,0,0,'as text',0,0,0,1,'12')"),
                          QStringLiteral("INSERT INTO tag VALUES (NULL,0,0,'as number',0,0,0,0,12)"),
                          QStringLiteral("INSERT INTO tagtext VALUES (NULL,1,'own','own',1,1,0,0,7)"),
                          QStringLiteral("INSERT INTO tagtext VALUES (NULL,1,'real id','x',1,1,0,1,12.0)")}),
                 QString());
    }
    const QString reference = m_dir->filePath(QStringLiteral("reference.db"));
    QVERIFY(QFile::copy(m_db, reference));

    for (int round = 0; round < 2; ++round) {
        const QString dictionary = dictionaryFile(randomDictionary(seed * 10 + round, 1500, lineBreaks));
        TagReferenceImport::run(reference, dictionary);
        const KOTagImportResult result = KOTagImport::importDictionary(m_db, dictionary);
        QVERIFY2(result.ok(), qPrintable(result.summary()));
        QCOMPARE(result.skippedRecords, 0);
        TagTestDb expected(reference);
        TagTestDb actual(m_db);
        const QStringList expectedRows = expected.dump();
        QVERIFY(expectedRows.size() > 300);
        QCOMPARE(actual.dump(), expectedRows);
    }
}

void TestKOTagImport::sharedIdentifierAnswersAsTheStatement_data()
{
    QTest::addColumn<int>("schema");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("dictionary");
    // The index lists the second row first: it is the one compared.
    QTest::newRow("keyword-composite-index")
        << int(TagTestDb::CompositeIndexRealId)
        << QStringList({QStringLiteral("INSERT INTO tag VALUES (NULL,9,0,'',0,0,0,0,5)"),
                        QStringLiteral("INSERT INTO tag VALUES (NULL,1,0,'',0,0,0,1,5)")})
        << QStringLiteral("k5|1|0||0|0|0");
    QTest::newRow("text-composite-index")
        << int(TagTestDb::CompositeIndexRealId)
        << QStringList({QStringLiteral("INSERT INTO tagtext VALUES (NULL,9,'n','n',1,1,0,1,5)"),
                        QStringLiteral("INSERT INTO tagtext VALUES (NULL,1,'n','n',1,1,0,1,5)")})
        << QStringLiteral("t5|1|n|1|1|0");
    QTest::newRow("keyword-repeated-in-one-batch") << int(TagTestDb::CompositeIndexRealId) << QStringList()
                                                   << QStringLiteral("k5|9|0||0|0|0^k5|1|0||0|0|0^")
            + QStringLiteral("k%1|0|0||0|0|0^").repeated(100).arg(7) + QStringLiteral("k5|1|0||0|0|0");
    QTest::newRow("keyword-without-index")
        << int(TagTestDb::IntegerRealId)
        << QStringList({QStringLiteral("INSERT INTO tag VALUES (NULL,9,0,'',0,0,0,0,5)"),
                        QStringLiteral("INSERT INTO tag VALUES (NULL,1,0,'',0,0,0,1,5)")})
        << QStringLiteral("k5|1|0||0|0|0");
}

void TestKOTagImport::sharedIdentifierAnswersAsTheStatement()
{
    QFETCH(int, schema);
    QFETCH(QStringList, rows);
    QFETCH(QString, dictionary);
    createDatabase(TagTestDb::Schema(schema));
    {
        TagTestDb db(m_db);
        QCOMPARE(db.exec(rows), QString());
    }
    const QString reference = m_dir->filePath(QStringLiteral("reference.db"));
    QVERIFY(QFile::copy(m_db, reference));
    const QString path = dictionaryFile(dictionary);
    TagReferenceImport::run(reference, path);
    const KOTagImportResult result = KOTagImport::importDictionary(m_db, path);
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    TagTestDb expected(reference);
    TagTestDb actual(m_db);
    QCOMPARE(actual.dump(), expected.dump());
}

void TestKOTagImport::concurrentImports()
{
    // A connection of the application's with the name the import once shared.
    const QString other = m_dir->filePath(QStringLiteral("other.db"));
    QSqlDatabase data = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("data"));
    data.setDatabaseName(other);
    QVERIFY(data.open());

    const QString second = m_dir->filePath(QStringLiteral("second.db"));
    QVERIFY(QFile::copy(m_db, second));
    QStringList records;
    for (int i = 1; i <= 3000; ++i)
        records << QStringLiteral("k%1|0|0||0|0|0^t%1|%1|n%1|1|1|0^r%1|1|0.5").arg(i);
    const QString big = dictionaryFile(records.join(QLatin1Char('^')));
    const QString small = dictionaryFile(baseDictionary);

    KOTagImportResult results[4];
    std::thread threads[] = {
        std::thread([&] { results[0] = KOTagImport::importDictionary(m_db, big); }),
        std::thread([&] { results[1] = KOTagImport::importDictionary(second, small); }),
        std::thread([&] { results[2] = KOTagImport::importDictionary(second, small); }),
        std::thread([&] { results[3] = KOTagImport::importDictionary(m_db, big); }),
    };
    for (std::thread &thread : threads)
        thread.join();
    for (const KOTagImportResult &result : results)
        QVERIFY2(result.ok(), qPrintable(result.summary()));

    {
        TagTestDb db(m_db);
        QCOMPARE(db.rows(QStringLiteral("tag"), QStringLiteral("ID")).size(), 3000);
        QCOMPARE(db.rows(QStringLiteral("tagtext"), QStringLiteral("IsSystem")).filter(QStringLiteral("1")).size(),
                 3000);
        QCOMPARE(db.rows(QStringLiteral("tagrelation"), relationColumns).size(), 3000);
        TagTestDb db2(second);
        QCOMPARE(db2.rows(QStringLiteral("tag"), QStringLiteral("RealID,IsSystem")),
                 QStringList({QStringLiteral("1|1"), QStringLiteral("2|1")}));
        QCOMPARE(db2.rows(QStringLiteral("tagrelation"), relationColumns).size(), 2);
    }
    QCOMPARE(QSqlDatabase::database(QStringLiteral("data"), false).databaseName(), other);
    QVERIFY(QSqlDatabase::database(QStringLiteral("data"), false).isOpen());
    data.close();
    data = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("data"));
}

QTEST_GUILESS_MAIN(TestKOTagImport)
#include "tst_kotagimport.moc"
