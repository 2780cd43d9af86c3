// dbQuery of 100,000 rows of 5 columns into a page, 10,000 dbInsert calls in one
// transaction and the same rows through one dbInsertMany, against Python's
// sqlite3 doing the same on the same file, round by round in the same run.
// Targets: query <= 1.2x, single inserts <= 2.5x, dbInsertMany <= 1.2x Python's
// loop of execute calls (its executemany is printed for comparison).
//   sqlite-bench [ROWS] [INSERTS] [ROUNDS]
#include "benchpage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWebFrame>

#include <algorithm>
#include <cstdio>
#include <vector>

static const char *kPython = R"(
import sqlite3, sys, time
db, rows, inserts = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
c = sqlite3.connect(db)
c.row_factory = sqlite3.Row
t = time.perf_counter()
got = [dict(r) for r in c.execute('SELECT id, name, score, note, flag FROM big')]
s = sum(r['score'] for r in got)
q = time.perf_counter() - t
assert len(got) == rows
got = None
c.execute('DELETE FROM ins'); c.commit()
c.isolation_level = None
t = time.perf_counter()
c.execute('BEGIN')
for i in range(inserts):
    c.execute('INSERT INTO ins (name, score) VALUES (?, ?)', ('row %d' % i, i * 0.5)).lastrowid
c.execute('COMMIT')
ins = time.perf_counter() - t
c.execute('DELETE FROM ins')
t = time.perf_counter()
c.execute('BEGIN')
c.executemany('INSERT INTO ins (name, score) VALUES (?, ?)', [('row %d' % i, i * 0.5) for i in range(inserts)])
c.execute('COMMIT')
many = time.perf_counter() - t
c.close()
print(q, ins, many)
)";

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 100000;
    const int inserts = argc > 2 ? atoi(argv[2]) : 10000;
    const int rounds = argc > 3 ? qMax(1, atoi(argv[3])) : 3;
    BenchPage page("<html><body></body></html>");
    if (!page.isReady())
        return 1;
    QWebFrame *frame = page.frame();
    frame->evaluateJavaScript(
        QStringLiteral("app.dbConnect('bench.db');"
                       "app.dbQuery('CREATE TABLE big (id INTEGER PRIMARY KEY, name TEXT, score REAL, note TEXT, "
                       "flag INTEGER)');"
                       "app.dbQuery('CREATE TABLE ins (id INTEGER PRIMARY KEY, name TEXT, score REAL)');"
                       "app.dbQuery('BEGIN');"
                       "for (var i = 0; i < %1; ++i) app.dbInsert('INSERT INTO big VALUES (?, ?, ?, ?, ?)', '',"
                       " [i + 1, 'name ' + i, i * 0.25, 'note number ' + i, i % 2]);"
                       "app.dbQuery('COMMIT');")
            .arg(rows));
    const bool haveMany = frame->evaluateJavaScript(QStringLiteral("typeof app.dbInsertMany === 'function'")).toBool();

    std::vector<double> query, insert, many, pyQuery, pyInsert, pyMany;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        t.start();
        const QVariant n = frame->evaluateJavaScript(
            QStringLiteral("var r = app.dbQuery('SELECT id, name, score, note, flag FROM big'); var s = 0;"
                           "for (var i = 0; i < r.length; ++i) s += r[i].score; r.length"));
        query.push_back(t.nsecsElapsed() / 1e9);
        if (n.toInt() != rows) {
            fprintf(stderr, "read %d rows, expected %d\n", n.toInt(), rows);
            return 1;
        }
        frame->evaluateJavaScript(QStringLiteral("app.dbQuery('DELETE FROM ins'); r = null;"));
        t.restart();
        frame->evaluateJavaScript(
            QStringLiteral("app.dbQuery('BEGIN');"
                           "for (var i = 0; i < %1; ++i) app.dbInsert('INSERT INTO ins (name, score) VALUES (?, ?)',"
                           " '', ['row ' + i, i * 0.5]);"
                           "app.dbQuery('COMMIT');")
                .arg(inserts));
        insert.push_back(t.nsecsElapsed() / 1e9);
        if (haveMany) {
            frame->evaluateJavaScript(QStringLiteral("app.dbQuery('DELETE FROM ins');"));
            t.restart();
            const QVariant done = frame->evaluateJavaScript(
                QStringLiteral("var rows = []; for (var i = 0; i < %1; ++i) rows.push(['row ' + i, i * 0.5]);"
                               "app.dbInsertMany('', 'INSERT INTO ins (name, score) VALUES (?, ?)', rows)")
                    .arg(inserts));
            many.push_back(t.nsecsElapsed() / 1e9);
            if (done.toInt() != inserts) {
                fprintf(stderr, "dbInsertMany gave %s\n", qPrintable(done.toString()));
                return 1;
            }
        }

        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"), QString::fromUtf8(kPython), page.filePath(QStringLiteral("bench.db")),
                      QString::number(rows), QString::number(inserts)});
        if (!python.waitForFinished(300000) || python.exitCode() != 0) {
            fprintf(stderr, "python3 failed: %s\n", python.readAllStandardError().constData());
            return 1;
        }
        const QList<QByteArray> py = python.readAllStandardOutput().trimmed().split(' ');
        pyQuery.push_back(py.value(0).toDouble());
        pyInsert.push_back(py.value(1).toDouble());
        pyMany.push_back(py.value(2).toDouble());
    }
    // What any slot call with these arguments costs, for reading the insert figure.
    QElapsedTimer t;
    t.start();
    frame->evaluateJavaScript(
        QStringLiteral("for (var i = 0; i < %1; ++i) app.regIsSet('', 'row ' + i);").arg(inserts));
    const double bareCalls = t.nsecsElapsed() / 1e9;
    frame->evaluateJavaScript(QStringLiteral("app.dbClose();"));

    printf("median of %d interleaved rounds\n", rounds);
    printf("dbQuery %d rows x 5 columns into the page: vesk %.3f s, python %.3f s, ratio %.2f (target <= 1.2)\n", rows,
           median(query), median(pyQuery), median(query) / median(pyQuery));
    printf("dbInsert %d rows in one transaction:        vesk %.3f s, python %.3f s, ratio %.2f (target <= 2.5)\n",
           inserts, median(insert), median(pyInsert), median(insert) / median(pyInsert));
    if (haveMany)
        printf("dbInsertMany of the same %d rows:           vesk %.3f s, python %.3f s, ratio %.2f (target <= 1.2);"
               " python executemany %.3f s, ratio %.2f\n",
               inserts, median(many), median(pyInsert), median(many) / median(pyInsert), median(pyMany),
               median(many) / median(pyMany));
    printf("for comparison, %d bare slot calls (a registry path that names nothing): %.3f s\n", inserts, bareCalls);
    return 0;
}
