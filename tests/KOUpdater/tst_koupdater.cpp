#include "tagtestdb.h"
#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QFile>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// The updater plug-in loaded into real pages.
class TestKOUpdater : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hello();
    void callbackCarriesResult_data();
    void callbackCarriesResult();
    void importsOfOneDatabaseQueue();
    void pageClosedDuringImport();
    void finishedFromPageDoesNothing();

private:
    static XWebWindow *openUpdaterPage(VeskHarness &h);
    static bool writeText(const QString &path, const QString &text);
    static QString bigDictionary(int keywords);
};

bool TestKOUpdater::writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QString TestKOUpdater::bigDictionary(int keywords)
{
    QString text;
    for (int i = 1; i <= keywords; ++i)
        text += QStringLiteral("k%1|0|0||0|0|0^t%1|%1|Name %1|1|1|0^").arg(i);
    return text;
}

XWebWindow *TestKOUpdater::openUpdaterPage(VeskHarness &h)
{
    QDir().mkpath(QStringLiteral("libs"));
    QFile::copy(QStringLiteral(KOUPDATER_PLUGIN), QStringLiteral("libs/KOUpdater.so"));
    h.writePage(QStringLiteral("init.html"),
                "<html><body><script>app.loadPlugin('libs/KOUpdater.dll'); window.results = [];"
                "function done(r){ results.push(r === undefined ? 'no argument' : r); }</script></body></html>");
    return h.openWindow(QStringLiteral("/init.html"));
}

void TestKOUpdater::hello()
{
    VeskHarness h;
    std::unique_ptr<XWebWindow> w(openUpdaterPage(h));
    h.answerDialogs();
    VeskHarness::eval(w->mainFrame(), QStringLiteral("lkoupdater.hello()"));
    QTRY_VERIFY(h.dialogTexts().join(QLatin1Char('\n')).contains(QStringLiteral("xxx hello yyy")));
}

void TestKOUpdater::callbackCarriesResult_data()
{
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<bool>("databaseExists");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("inserted");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("rows");
    QTest::newRow("imported") << QString::fromUtf8("k1|0|0||1|0|0^t10|1|Kůň 'x'|1|1|0^r1|1|0.5^kbad") << true << "ok"
                              << 4 << 3 << 1 << 1;
    QTest::newRow("dictionary-missing") << QString() << true << "unreadable" << 0 << 0 << 0 << 0;
    QTest::newRow("database-missing") << QStringLiteral("k1|0|0||1|0|0") << false << "unavailable" << 0 << 0 << 0 << -1;
    QString keywords;
    for (int i = 1; i <= 100; ++i)
        keywords += QStringLiteral("k%1|0|0||0|0|0^").arg(i);
    QTest::newRow("mostly-malformed-is-not-a-dictionary")
        << QStringLiteral("kx^").repeated(101) + keywords << true << "not a dictionary" << 201 << 0 << 101 << 0;
    QTest::newRow("half-malformed-still-imported")
        << QStringLiteral("kx^").repeated(100) + keywords << true << "ok" << 200 << 100 << 100 << 100;
}

void TestKOUpdater::callbackCarriesResult()
{
    QFETCH(QString, dictionary);
    QFETCH(bool, databaseExists);
    QFETCH(QString, status);
    QFETCH(int, records);
    QFETCH(int, inserted);
    QFETCH(int, skipped);
    QFETCH(int, rows);

    VeskHarness h;
    const QString db = QDir::current().absoluteFilePath(QStringLiteral("tags.db"));
    if (databaseExists) {
        TagTestDb schema(db);
        QVERIFY(schema.create(TagTestDb::IntegerRealId));
    }
    if (!dictionary.isNull())
        QVERIFY(writeText(QStringLiteral("dict.txt"), dictionary));
    std::unique_ptr<XWebWindow> w(openUpdaterPage(h));
    QWebFrame *frame = w->mainFrame();

    // Returns before the import has done anything: the callback comes later.
    QCOMPARE(VeskHarness::eval(frame,
                               QStringLiteral("lkoupdater.updateData('tags.db', 'dict.txt', 'done');"
                                              "results.length"))
                 .toInt(),
             0);
    QTRY_COMPARE(VeskHarness::eval(frame, QStringLiteral("results.length")).toInt(), 1);
    const QVariantMap result = VeskHarness::eval(frame, QStringLiteral("results[0]")).toMap();
    QCOMPARE(result.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(result.value(QStringLiteral("records")).toInt(), records);
    QCOMPARE(result.value(QStringLiteral("inserted")).toInt(), inserted);
    QCOMPARE(result.value(QStringLiteral("skipped")).toInt(), skipped);
    QCOMPARE(result.value(QStringLiteral("error_text")).toString().isEmpty(), status == QLatin1String("ok"));
    for (const char *key : {"updated", "confirmed", "deleted", "seconds"})
        QVERIFY2(result.contains(QLatin1String(key)), key);
    if (rows >= 0)
        QCOMPARE(TagTestDb(db).rows(QStringLiteral("tag"), QStringLiteral("RealID")).size(), rows);
    else
        QVERIFY(!QFile::exists(db));
    // Exactly once.
    QTest::qWait(50);
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("results.length")).toInt(), 1);
}

void TestKOUpdater::importsOfOneDatabaseQueue()
{
    VeskHarness h;
    const QString db = QDir::current().absoluteFilePath(QStringLiteral("tags.db"));
    {
        TagTestDb schema(db);
        QVERIFY(schema.create(TagTestDb::IntegerRealId));
    }
    QVERIFY(writeText(QStringLiteral("a.txt"), bigDictionary(20000)));
    QVERIFY(writeText(QStringLiteral("b.txt"), bigDictionary(20000) + QStringLiteral("^")));
    std::unique_ptr<XWebWindow> w(openUpdaterPage(h));
    std::unique_ptr<XWebWindow> other(openUpdaterPage(h));
    // The same file under two names, from two pages.
    VeskHarness::eval(w->mainFrame(), QStringLiteral("lkoupdater.updateData('tags.db', 'a.txt', 'done')"));
    VeskHarness::eval(other->mainFrame(), QStringLiteral("lkoupdater.updateData('./tags.db', 'b.txt', 'done')"));
    VeskHarness::eval(w->mainFrame(), QStringLiteral("lkoupdater.updateData('tags.db', 'a.txt', 'done')"));
    QTRY_COMPARE_WITH_TIMEOUT(VeskHarness::eval(w->mainFrame(), QStringLiteral("results.length")).toInt(), 2, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(VeskHarness::eval(other->mainFrame(), QStringLiteral("results.length")).toInt(), 1,
                              60000);
    const QString statuses = QStringLiteral("results.map(function(r){return r.status;}).join()");
    QCOMPARE(VeskHarness::eval(w->mainFrame(), statuses).toString(), QStringLiteral("ok,ok"));
    QCOMPARE(VeskHarness::eval(other->mainFrame(), statuses).toString(), QStringLiteral("ok"));
    QCOMPARE(TagTestDb(db).rows(QStringLiteral("tag"), QStringLiteral("RealID")).size(), 20000);
}

void TestKOUpdater::pageClosedDuringImport()
{
    VeskHarness h;
    const QString db = QDir::current().absoluteFilePath(QStringLiteral("tags.db"));
    {
        TagTestDb schema(db);
        QVERIFY(schema.create(TagTestDb::IntegerRealId));
    }
    QVERIFY(writeText(QStringLiteral("dict.txt"), bigDictionary(200000)));
    std::unique_ptr<XWebWindow> w(openUpdaterPage(h));
    VeskHarness::eval(w->mainFrame(),
                      QStringLiteral("lkoupdater.updateData('tags.db', 'dict.txt', 'done');"
                                     "lkoupdater.updateData('tags.db', 'dict.txt', 'done')"));
    // The first import is writing (SQLite's rollback journal exists), the second waits its turn.
    QTRY_VERIFY(QFile::exists(db + QStringLiteral("-journal")));
    QCOMPARE(VeskHarness::eval(w->mainFrame(), QStringLiteral("results.length")).toInt(), 0);
    // The view and its updater go while the import runs: the running import is
    // told to stop and rolls back, the waiting one never starts, and nobody is called.
    w.reset();
    QVERIFY(!QFile::exists(db + QStringLiteral("-journal")));
    QCOMPARE(TagTestDb(db).rows(QStringLiteral("tag"), QStringLiteral("RealID")).size(), 0);
    QCoreApplication::processEvents();
}

void TestKOUpdater::finishedFromPageDoesNothing()
{
    VeskHarness h;
    std::unique_ptr<XWebWindow> w(openUpdaterPage(h));
    QWebFrame *frame = w->mainFrame();
    VeskHarness::eval(frame,
                      QStringLiteral("window.thrown = 'no'; try { lkoupdater.finished(); } "
                                     "catch (e) { window.thrown = String(e); }"));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("thrown + results.length")).toString(), QStringLiteral("no0"));
    QCOMPARE(VeskHarness::eval(frame, QStringLiteral("typeof lkoupdater.updateData")).toString(),
             QStringLiteral("function"));
}

QTEST_MAIN(TestKOUpdater)
#include "tst_koupdater.moc"
