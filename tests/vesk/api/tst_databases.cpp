#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QWebFrame>
#include <QtTest>

#include <memory>

// SQLite as pages see it: every case runs script in a real window and reads the
// outcome back as JSON, so the page's own view of the values is what is checked.
class TestDatabases : public QObject {
    Q_OBJECT

private:
    QString json(XWebWindow *window, const QString &script)
    {
        return VeskHarness::eval(window->mainFrame(), QStringLiteral("JSON.stringify((function(){%1})())").arg(script))
            .toString();
    }
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;

private Q_SLOTS:
    void init();
    void cleanup();
    void pageResults_data();
    void pageResults();
    void twoWindowsSameId();
    void closedWithItsWindow();
    void corruptFile();
};

void TestDatabases::init()
{
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
    json(m_window.get(),
         QStringLiteral("app.dbConnect('main.db');"
                        "app.dbQuery('CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT UNIQUE, "
                        "score REAL, note, data BLOB)');"
                        "return 1;"));
}

void TestDatabases::cleanup()
{
    m_window.reset();
    m_harness.reset();
}

void TestDatabases::pageResults_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    QTest::newRow("types") << "app.dbInsert(\"INSERT INTO t VALUES (7, 'x', 2.5, NULL, x'00ff41')\");"
                              "return app.dbQuery('SELECT * FROM t');"
                           << R"([{"data":"AP9B","id":7,"name":"x","note":null,"score":2.5}])";
    QTest::newRow("exact-properties") << "return Object.keys(app.dbQuery('SELECT 1 AS a, 2 AS b')[0]);"
                                      << R"(["a","b"])";
    QTest::newRow("duplicate-columns-later-wins") << "return app.dbQuery('SELECT 1 AS a, 2 AS a');"
                                                  << R"([{"a":2}])";
    // Rows cross into the page packed; every kind of value comes out as the
    // engine made it from a map.
    QTest::newRow("packed-values")
        << "var r = app.dbQuery(\"SELECT NULL AS n, x'' AS eb, x'00ff41' AS b, 9007199254740993 AS big, "
           "-9223372036854775808 AS min, 1e308 * 10 AS inf, '' AS e, 'it''s' AS \\\"it's \\\"\\\"q\\\"\\\"\\\"\")[0];"
           "return [r, r.inf === Infinity, typeof r.big];"
        << R"([{"b":"AP9B","big":9007199254740992,"e":"","eb":"","inf":null,"it's q":"it's",)"
           R"("min":-9223372036854776000,"n":null},true,"number"])";
    QTest::newRow("packed-text-across-rows")
        << "return app.dbQuery(\"SELECT 1 AS a, 'x' AS b UNION ALL SELECT 'y', NULL "
           "UNION ALL SELECT x'41', 2.5 UNION ALL SELECT 'uložit', 'z'\");"
        << R"([{"a":1,"b":"x"},{"a":"y","b":null},{"a":"QQ==","b":2.5},{"a":"uložit","b":"z"}])";
    QTest::newRow("odd-column-names")
        << "var r = app.dbQuery('SELECT 1 AS \"l\\u2028s\", 2 AS \"0\", 3 AS \"\", 4 AS \"a\\\\b\", 5 AS \"}\"')[0];"
           "return [Object.keys(r).map(function(k){return escape(k);}), r['0'], r[''], r['}']];"
        << R"([["0","","a%5Cb","l%u2028s","%7D"],2,3,5])";
    // Far more sets of column names than the page keeps row makers for.
    QTest::newRow("many-column-sets")
        << "var ok = 0; for (var i = 0; i < 70; ++i) {"
           "var r = app.dbQuery('SELECT ' + i + ' AS c' + i + ', ? AS v', '', [i]);"
           "if (r.length === 1 && r[0]['c' + i] === i && r[0].v === i && Object.keys(r[0]).length === 2) ++ok; }"
           "return [ok, app.dbQuery('SELECT 5 AS c3')];"
        << R"([70,[{"c3":5}]])";
    QTest::newRow("no-rows-is-empty-array") << "return app.dbQuery('UPDATE t SET name = 1');"
                                            << "[]";
    QTest::newRow("bad-sql") << "return [app.dbQuery('SELEC nonsense'), app.dbInsert('nonsense') === null];"
                             << "[[],true]";
    QTest::newRow("unknown-id") << "return [app.dbQuery('SELECT 1', 'nope'), app.dbInsert('SELECT 1', 'nope')];"
                                << "[[],0]";
    QTest::newRow("insert-ids") << "return [app.dbInsert(\"INSERT INTO t (name) VALUES ('a')\"),"
                                   "app.dbInsert(\"INSERT INTO t (name) VALUES ('b')\")];"
                                << "[1,2]";
    QTest::newRow("stale-insert-id") << "app.dbInsert(\"INSERT INTO t (name) VALUES ('a')\");"
                                        "return [app.dbInsert(\"INSERT OR IGNORE INTO t (name) VALUES ('a')\"),"
                                        "app.dbInsert('CREATE TABLE u (a)')];"
                                     << "[null,null]";
    QTest::newRow("bound-list") << "var evil = \"x'); DROP TABLE t; --\";"
                                   "var id = app.dbInsert('INSERT INTO t (name, note, data) VALUES (?, ?, ?)', '', "
                                   "[evil, 3, null]);"
                                   "var rows = app.dbQuery('SELECT id, name, typeof(note) AS k, data FROM t "
                                   "WHERE name = ?', '', [evil]);"
                                   "return [id, rows];"
                                << R"([1,[{"data":null,"id":1,"k":"integer","name":"x'); DROP TABLE t; --"}]])";
    QTest::newRow("bound-map") << "app.dbInsert('INSERT INTO t (name, score) VALUES (:n, :s)', '', "
                                  "{n: 'say \"hi\" \\\\ uložit', ':s': 1.25});"
                                  "return app.dbQuery('SELECT name, score FROM t WHERE name = :n', '', "
                                  "{n: 'say \"hi\" \\\\ uložit'});"
                               << R"([{"name":"say \"hi\" \\ uložit","score":1.25}])";
    QTest::newRow("bound-object-value-refused")
        << "return [app.dbInsert('INSERT INTO t (name) VALUES (?)', '', [{a: 1}]),"
           "app.dbQuery('SELECT count(*) AS n FROM t')];"
        << R"([null,[{"n":0}]])";
    // A cached statement starts every call with no values bound.
    QTest::newRow("earlier-values-not-reused")
        << "app.dbQuery('SELECT ? AS v', '', [5]);"
           "return [app.dbQuery('SELECT ? AS v'), app.dbQuery('SELECT ? AS v', '', [6])];"
        << R"([[],[{"v":6}]])";
    QTest::newRow("fewer-values-than-placeholders")
        << "var q = 'INSERT INTO t (name, note) VALUES (?, ?)';"
           "return [app.dbInsert(q, '', ['a', 1]), app.dbInsert(q, '', ['b']),"
           "app.dbQuery('SELECT name, note FROM t')];"
        << R"([1,null,[{"name":"a","note":1}]])";
    QTest::newRow("too-many-values-harm-no-later-call")
        << "var q = 'SELECT ? AS v';"
           "return [app.dbQuery(q, '', [1, 2]), app.dbQuery(q, '', [3]), app.dbQuery(q, '', [])];"
        << R"([[],[{"v":3}],[]])";
    QTest::newRow("named-missing-or-extra")
        << "var q = 'SELECT :a AS v, :a AS w';"
           "return [app.dbQuery(q, '', {}), app.dbQuery(q, '', {a: 1, b: 2}), app.dbQuery(q, '', {a: 1}),"
           "app.dbQuery('SELECT ? AS v', '', {a: 1})];"
        << R"([[],[],[{"v":1,"w":1}],[]])";
    QTest::newRow("insert-many-rows") << "var q = 'INSERT INTO t (name, score) VALUES (?, ?)';"
                                         "return [app.dbInsertMany('', q, [['a', 1], ['b', 2.5]]), app.dbInsertMany('', q, []),"
                                         "app.dbQuery('SELECT name, score FROM t')];"
                                      << R"([2,0,[{"name":"a","score":1},{"name":"b","score":2.5}]])";
    // One bad row undoes the rows before it, and only them.
    QTest::newRow("insert-many-fails-whole")
        << "var q = 'INSERT INTO t (name) VALUES (?)';"
           "app.dbQuery('BEGIN'); app.dbInsert(q, '', ['page']);"
           "var r = [app.dbInsertMany('', q, [['a'], ['b', 2]]), app.dbInsertMany('', q, [['c'], ['c']]),"
           "app.dbInsertMany('', q, [['d'], [{x: 1}]]), app.dbInsertMany('', q, [['e'], 7])];"
           "app.dbQuery('COMMIT');"
           "return r.concat([app.dbQuery('SELECT name FROM t')]);"
        << R"([null,null,null,null,[{"name":"page"}]])";
    QTest::newRow("insert-many-refused")
        << "return [app.dbInsertMany('', 'INSERT INTO t (name) VALUES (?)', 'a'),"
           "app.dbInsertMany('', 'SELECT ?', [[1]]), app.dbInsertMany('', 'COMMIT', [[]]),"
           "app.dbInsertMany('nope', 'INSERT INTO t (name) VALUES (?)', [['a']]),"
           "app.dbInsertMany('', 'INSERT INTO t (name) VALUES (?); DROP TABLE t', [['a']]),"
           "app.dbQuery('SELECT count(*) AS n FROM t')];"
        << R"([null,null,null,null,null,[{"n":0}]])";
    QTest::newRow("reconnect-same-id") << "app.dbInsert(\"INSERT INTO t (name) VALUES ('kept')\");"
                                          "app.dbConnect('main.db'); app.dbConnect('main.db');"
                                          "return app.dbQuery('SELECT name FROM t');"
                                       << R"([{"name":"kept"}])";
    QTest::newRow("close-default-id") << "app.dbClose(); return app.dbQuery('SELECT 1 AS a');"
                                      << "[]";
    QTest::newRow("last-error-driver-text")
        << "app.dbQuery('SELEC nonsense'); var q = app.dbLastError();"
           "app.dbInsert('INSERT INTO nowhere VALUES (1)'); var i = app.dbLastError();"
           "app.dbQuery('SELECT ?', '', []); var p = app.dbLastError();"
           "app.dbQuery('SELECT 1'); return [q, i, p, app.dbLastError()];"
        << R"(["near \"SELEC\": syntax error",)"
           R"("no such table: nowhere",)"
           R"("the statement has 1 placeholder(s) but 0 value(s) were given",""])";
    QTest::newRow("last-error-per-id-and-unknown")
        << "app.dbConnect('other.db', 'o'); app.dbQuery('bad', 'o'); app.dbQuery('SELECT 1');"
           "var before = app.dbLastError('o'); app.dbClose('o');"
           "return [before.length > 0, app.dbLastError(), app.dbLastError('o'), app.dbLastError('never')];"
        << R"([true,"","no connection under this id","no connection under this id"])";
    QTest::newRow("last-error-ignored-insert-is-no-error")
        << "app.dbInsert(\"INSERT INTO t (name) VALUES ('a')\");"
           "return [app.dbInsert(\"INSERT OR IGNORE INTO t (name) VALUES ('a')\"), app.dbLastError(),"
           "app.dbInsert(\"INSERT INTO t (name) VALUES ('a')\"), app.dbLastError().indexOf('UNIQUE') >= 0];"
        << R"([null,"",null,true])";
    QTest::newRow("last-error-open-failure")
        << "app.dbConnect('no/such/folder/x.db', 'f'); return app.dbLastError('f').length > 0;"
        << "true";
    QTest::newRow("transaction-through-dbquery")
        << "app.dbQuery('BEGIN'); app.dbInsert(\"INSERT INTO t (name) VALUES ('gone')\"); app.dbQuery('ROLLBACK');"
           "app.dbQuery('BEGIN'); app.dbInsert(\"INSERT INTO t (name) VALUES ('kept')\"); app.dbQuery('COMMIT');"
           "return [app.dbQuery('SELECT name FROM t'), app.dbLastError()];"
        << R"([[{"name":"kept"}],""])";
}

void TestDatabases::pageResults()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QCOMPARE(json(m_window.get(), script), expected);
}

void TestDatabases::twoWindowsSameId()
{
    std::unique_ptr<XWebWindow> other(m_harness->openWindow(QStringLiteral("/init.html")));
    json(other.get(), QStringLiteral("app.dbConnect('other.db'); app.dbQuery('CREATE TABLE o (v)'); return 1;"));
    // Each window's writes land in its own database although both use the id "".
    QCOMPARE(json(m_window.get(), QStringLiteral("return app.dbInsert(\"INSERT INTO t (name) VALUES ('main')\");")),
             QStringLiteral("1"));
    QCOMPARE(json(other.get(), QStringLiteral("return app.dbInsert(\"INSERT INTO o VALUES ('other')\");")),
             QStringLiteral("1"));
    QCOMPARE(json(m_window.get(), QStringLiteral("return app.dbQuery('SELECT name FROM t');")),
             QStringLiteral(R"([{"name":"main"}])"));
    QCOMPARE(json(other.get(), QStringLiteral("return app.dbQuery('SELECT v FROM o');")),
             QStringLiteral(R"([{"v":"other"}])"));
}

void TestDatabases::closedWithItsWindow()
{
    json(m_window.get(),
         QStringLiteral("app.dbQuery('PRAGMA journal_mode=WAL'); app.dbInsert(\"INSERT INTO t (name) "
                        "VALUES ('w')\"); return 1;"));
    QVERIFY(QFile::exists(QStringLiteral("main.db-wal")));
    m_window.reset();
    // The last connection to close folds the log back and removes it.
    QVERIFY(!QFile::exists(QStringLiteral("main.db-wal")));
}

void TestDatabases::corruptFile()
{
    json(m_window.get(),
         QStringLiteral("app.dbConnect('big.db', 'b');"
                        "app.dbQuery('CREATE TABLE big (id INTEGER PRIMARY KEY, pad TEXT)', 'b');"
                        "app.dbQuery('WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000)"
                        " INSERT INTO big SELECT i, printf(\\'%0100d\\', i) FROM n', 'b');"
                        "app.dbClose('b'); return 1;"));
    QFile file(QStringLiteral("big.db"));
    QVERIFY(file.size() > 200 * 4096);
    // A page in the middle of the table turns to garbage; the schema stays readable.
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek((file.size() / 4096 / 2) * 4096));
    file.write(QByteArray(4096, '\xff'));
    file.close();
    QCOMPARE(json(m_window.get(),
                  QStringLiteral("app.dbConnect('big.db', 'b');"
                                 "return [app.dbQuery('SELECT id FROM big', 'b').length,"
                                 "app.dbQuery('SELECT id FROM big WHERE id < 3', 'b')];")),
             QStringLiteral(R"([0,[{"id":1},{"id":2}]])"));
}

QTEST_MAIN(TestDatabases)
#include "tst_databases.moc"
