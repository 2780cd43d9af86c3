#include "tagtestdb.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include "kotagimport.h"

#include <thread>

namespace {

const QString dictionary =
    QStringLiteral("k1|0|0|2,3|1|0|0^k2|1|0||0|1|0^t10|1|One|1|1|3^t11|2|Two|2|0|1.5^r1|2|0.75^r2|1|3");

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The command-line tool, and the import killed part-way in a child process.
class TestKOUpdaterImport : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;

private Q_SLOTS:
    void init();
    void tool_data();
    void tool();
    void killedPartWayLeavesDatabaseAsItWas_data();
    void killedPartWayLeavesDatabaseAsItWas();
    void importWaitingForTheLockSeesTheRowsBeforeIt();
};

void TestKOUpdaterImport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = m_dir->filePath(QStringLiteral("catalog.db"));
    TagTestDb db(m_db);
    QVERIFY(db.create(TagTestDb::IntegerRealId));
}

void TestKOUpdaterImport::tool_data()
{
    QTest::addColumn<QStringList>("arguments"); // "$DB" and "$DICT" stand for the files of the test
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<bool>("changed");

    const QStringList normal = {QStringLiteral("$DB"), QStringLiteral("$DICT")};
    QTest::newRow("import")
        << normal << QString() << 0
        << QStringLiteral("^read 2 keywords, 2 texts, 2 relations \\(0 ignored, 0 skipped\\); inserted 6, updated 0, "
                          "unchanged 0, deleted 0; \\d+\\.\\d\\d s, write lock \\d+\\.\\d\\d s\\n$")
        << QStringLiteral("^$") << true;
    QTest::newRow("no-arguments") << QStringList() << QString() << 2 << QStringLiteral("^$")
                                  << QStringLiteral("^usage: koupdater-import DATABASE DICTIONARY") << false;
    QTest::newRow("one-argument") << QStringList({QStringLiteral("$DB")}) << QString() << 2 << QStringLiteral("^$")
                                  << QStringLiteral("^usage:") << false;
    QTest::newRow("missing-dictionary") << QStringList({QStringLiteral("$DB"), QStringLiteral("$DIR/none.txt")})
                                        << QString() << 3
                                        << QStringLiteral("nothing imported: cannot read dictionary .*none.txt")
                                        << QStringLiteral(
                                               "cannot read dictionary .*none.txt.*the database was not touched")
                                        << false;
    QTest::newRow("missing-database") << QStringList({QStringLiteral("$DIR/none.db"), QStringLiteral("$DICT")})
                                      << QString() << 4 << QStringLiteral("no database file")
                                      << QStringLiteral("no database file .*none.db") << false;
    QTest::newRow("database-is-not-sqlite")
        << QStringList({QStringLiteral("$DICT"), QStringLiteral("$DICT")}) << QString() << 4
        << QStringLiteral("nothing imported: tag: ") << QStringLiteral("the database was not changed") << false;
    QTest::newRow("database-without-tag-table")
        << normal << QStringLiteral("DROP TABLE tag") << 4 << QStringLiteral("nothing imported: tag: no such table")
        << QStringLiteral("the database was not changed") << false;
    QTest::newRow("failing-statement")
        << normal
        << QStringLiteral("CREATE TRIGGER f BEFORE INSERT ON tagtext BEGIN SELECT RAISE(ABORT,'refused'); END") << 5
        << QStringLiteral("import rolled back: tagtext: refused")
        << QStringLiteral("rolled back, the database is as it was") << false;
    QTest::newRow("not-a-dictionary") << QStringList({QStringLiteral("$DB"), QStringLiteral("$DIR/noise.txt")})
                                      << QString() << 6
                                      << QStringLiteral("not a keyword dictionary: 150 of 150 records are malformed")
                                      << QStringLiteral("nothing was imported, the database is as it was") << false;
}

void TestKOUpdaterImport::tool()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, changed);

    const QString dict = m_dir->filePath(QStringLiteral("dictionary.txt"));
    QVERIFY(writeText(dict, dictionary));
    QVERIFY(writeText(m_dir->filePath(QStringLiteral("noise.txt")), QStringLiteral("kx^").repeated(149) + "kx"));
    if (!setup.isEmpty()) {
        TagTestDb db(m_db);
        QCOMPARE(db.exec({setup}), QString());
    }
    const QByteArray before = readBytes(m_db);
    for (QString &argument : arguments) {
        argument.replace(QLatin1String("$DB"), m_db);
        argument.replace(QLatin1String("$DICT"), dict);
        argument.replace(QLatin1String("$DIR"), m_dir->path());
    }

    QProcess tool;
    tool.start(QStringLiteral(KOUPDATER_IMPORT), arguments);
    QVERIFY(tool.waitForFinished(60000));
    const QString stdoutText = QString::fromUtf8(tool.readAllStandardOutput());
    const QString stderrText = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    QVERIFY2(QRegularExpression(out).match(stdoutText).hasMatch(), qPrintable(stdoutText));
    QVERIFY2(QRegularExpression(err).match(stderrText).hasMatch(), qPrintable(stderrText));
    QCOMPARE(readBytes(m_db) != before, changed);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("none.db"))));
}

void TestKOUpdaterImport::killedPartWayLeavesDatabaseAsItWas_data()
{
    QTest::addColumn<int>("keywords");
    QTest::addColumn<int>("pauseAfter");
    QTest::addColumn<bool>("readWhilePaused");
    // Small enough to stay in the connection's page cache, or large enough to
    // spill into the database file before the commit.
    QTest::newRow("changes-in-cache") << 600 << 1500 << true;
    QTest::newRow("changes-spilled-to-file") << 20000 << 55000 << false;
}

void TestKOUpdaterImport::killedPartWayLeavesDatabaseAsItWas()
{
    QFETCH(int, keywords);
    QFETCH(int, pauseAfter);
    QFETCH(bool, readWhilePaused);

    // An earlier catalog with rows the new dictionary changes, confirms and drops.
    QStringList first;
    QStringList second;
    for (int i = 1; i <= keywords; ++i) {
        first << QStringLiteral("k%1|0|0|a|0|0|0^t%1|%1|name %1|1|1|0^r%1|1|0.5").arg(i);
        second
            << QStringLiteral("k%1|%2|0|b|0|0|0^t%1|%1|new name %1|1|1|0^r1|%1|0.25").arg(i + keywords / 2).arg(i % 3);
    }
    const QString firstPath = m_dir->filePath(QStringLiteral("first.txt"));
    const QString secondPath = m_dir->filePath(QStringLiteral("second.txt"));
    QVERIFY(writeText(firstPath, first.join(QLatin1Char('^'))));
    QVERIFY(writeText(secondPath, second.join(QLatin1Char('^'))));

    QProcess importer;
    importer.start(QStringLiteral(KOUPDATER_IMPORT), {m_db, firstPath});
    QVERIFY(importer.waitForFinished(60000));
    QCOMPARE(importer.exitCode(), 0);

    QStringList before;
    {
        TagTestDb db(m_db);
        before = db.dump();
    }
    QCOMPARE(before.size(), 3 + 3 * keywords);

    QProcess helper;
    helper.start(QStringLiteral(PAUSE_HELPER), {m_db, secondPath, QString::number(pauseAfter)});
    QVERIFY(helper.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(helper.canReadLine() || helper.state() == QProcess::NotRunning, 60000);
    QCOMPARE(QString::fromUtf8(helper.readLine()), QStringLiteral("paused %1\n").arg(pauseAfter));
    // The write transaction is open and has written into its journal.
    QVERIFY(QFile::exists(m_db + QStringLiteral("-journal")));
    if (readWhilePaused) {
        TagTestDb db(m_db);
        QCOMPARE(db.dump(), before);
    }

    helper.kill();
    QVERIFY(helper.waitForFinished(10000));
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

    TagTestDb db(m_db);
    QCOMPARE(db.dump(), before);
    db.close();

    // And the database still takes the import afterwards.
    importer.start(QStringLiteral(KOUPDATER_IMPORT), {m_db, secondPath});
    QVERIFY(importer.waitForFinished(60000));
    QCOMPARE(importer.exitCode(), 0);
    TagTestDb after(m_db);
    QCOMPARE(after.rows(QStringLiteral("tag"), QStringLiteral("ID")).size(), keywords);
}

// An import that read the catalog while another held the write lock must not
// work from what it read: the other one's rows are there when it gets the lock.
void TestKOUpdaterImport::importWaitingForTheLockSeesTheRowsBeforeIt()
{
    QStringList records;
    for (int i = 1; i <= 300; ++i)
        records << QStringLiteral("k%1|0|0|a|0|0|0^t%1|%1|name %1|1|1|0").arg(i);
    const QString path = m_dir->filePath(QStringLiteral("dictionary.txt"));
    QVERIFY(writeText(path, records.join(QLatin1Char('^'))));
    const QString expectedDb = m_dir->filePath(QStringLiteral("expected.db"));
    QVERIFY(QFile::copy(m_db, expectedDb));
    QVERIFY(KOTagImport::importDictionary(expectedDb, path).ok());

    QProcess first;
    first.start(QStringLiteral(PAUSE_HELPER), {m_db, path, QStringLiteral("400")});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(first.canReadLine() || first.state() == QProcess::NotRunning, 60000);
    QCOMPARE(first.readLine(), QByteArray("paused 400\n"));

    QSemaphore rowsRead;
    KOTagImportResult second;
    std::thread thread([&] {
        KOTagImport import(m_db, path);
        import.setProgressHandler(1000000, [&rowsRead](qint64 records) {
            if (records == 0)
                rowsRead.release();
    });
    second = import.run();
});
const bool read = rowsRead.tryAcquire(1, 60000);
first.write("go\n");
first.closeWriteChannel();
QVERIFY(first.waitForFinished(60000));
thread.join();
QVERIFY(read);
QCOMPARE(first.exitCode(), 0);
QVERIFY2(second.ok(), qPrintable(second.summary()));
QCOMPARE(second.inserted, 0);

TagTestDb expected(expectedDb);
TagTestDb actual(m_db);
QCOMPARE(actual.dump(), expected.dump());
}

QTEST_GUILESS_MAIN(TestKOUpdaterImport)
#include "tst_koupdaterimport.moc"
