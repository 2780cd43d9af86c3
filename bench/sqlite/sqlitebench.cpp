// dbQuery of 100,000 rows of 5 columns into a page, and 10,000 dbInsert calls in
// one transaction, against Python's sqlite3 doing the same in the same run.
// Target: at most 2x Python's time for each.
//   sqlite-bench [ROWS] [INSERTS]
#include "benchpage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QWebFrame>

#include <cstdio>

static const char *kPython = R"(
import sqlite3, sys, time
db, rows, inserts = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
best_q = best_i = 1e9
for _ in range(3):
    c = sqlite3.connect(db)
    c.row_factory = sqlite3.Row
    t = time.perf_counter()
    got = [dict(r) for r in c.execute('SELECT id, name, score, note, flag FROM big')]
    s = sum(r['score'] for r in got)
    best_q = min(best_q, time.perf_counter() - t)
    assert len(got) == rows
    c.execute('DELETE FROM ins'); c.commit()
    c.isolation_level = None
    t = time.perf_counter()
    c.execute('BEGIN')
    for i in range(inserts):
        c.execute('INSERT INTO ins (name, score) VALUES (?, ?)', ('row %d' % i, i * 0.5)).lastrowid
    c.execute('COMMIT')
    best_i = min(best_i, time.perf_counter() - t)
    c.close()
print(best_q, best_i)
)";

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 100000;
    const int inserts = argc > 2 ? atoi(argv[2]) : 10000;
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

    double bestQuery = 1e9, bestInsert = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const QVariant n = frame->evaluateJavaScript(
            QStringLiteral("var r = app.dbQuery('SELECT id, name, score, note, flag FROM big'); var s = 0;"
                           "for (var i = 0; i < r.length; ++i) s += r[i].score; r.length"));
        bestQuery = qMin(bestQuery, t.nsecsElapsed() / 1e9);
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
        bestInsert = qMin(bestInsert, t.nsecsElapsed() / 1e9);
    }
    // What any slot call with these arguments costs, for reading the insert figure.
    QElapsedTimer t;
    t.start();
    frame->evaluateJavaScript(
        QStringLiteral("for (var i = 0; i < %1; ++i) app.regIsSet('', 'row ' + i);").arg(inserts));
    const double bareCalls = t.nsecsElapsed() / 1e9;
    frame->evaluateJavaScript(QStringLiteral("app.dbClose();"));

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kPython), page.filePath(QStringLiteral("bench.db")),
                  QString::number(rows), QString::number(inserts)});
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        fprintf(stderr, "python3 failed: %s\n", python.readAllStandardError().constData());
        return 1;
    }
    const QList<QByteArray> py = python.readAllStandardOutput().trimmed().split(' ');
    const double pyQuery = py.value(0).toDouble(), pyInsert = py.value(1).toDouble();
    printf("best of 3 runs each\n");
    printf("dbQuery %d rows x 5 columns into the page: vesk %.3f s, python %.3f s, ratio %.2f (target <= 2)\n", rows,
           bestQuery, pyQuery, bestQuery / pyQuery);
    printf("dbInsert %d rows in one transaction:        vesk %.3f s, python %.3f s, ratio %.2f (target <= 2)\n",
           inserts, bestInsert, pyInsert, bestInsert / pyInsert);
    printf("for comparison, %d bare slot calls (a registry path that names nothing): %.3f s\n", inserts, bareCalls);
    return 0;
}
