// Connect, log in and close over and over from a page, and print the process's
// resident memory before and after: ended connections must give theirs back.
//   ftp-cycles-bench PORT [CYCLES]      (user "user", password "pass", 127.0.0.1)
#include "benchpage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QWebFrame>

#include <cstdio>
#include <malloc.h>

static const char kPage[] = R"(<html><body><script>
var state = 'idle', done = 0, target = 0, why = '', port = 0, h = 0, handles = [];
function fail(e){ why = e.error_text; state = 'failed'; }
function onState(n){ if (n == 3) app._ftpLogin(h, 'user', 'pass', 'loggedIn', 'fail'); }
function loggedIn(){ app._ftpClose(h, 'closed', 'fail'); }
function closed(){ done++; handles.push(h); setTimeout(cycle, 0); }
function cycle(){
  if (done >= target) { state = 'done'; return; }
  h = app._ftpConnect('127.0.0.1', port, 'onState');
}
function run(n){ target = done + n; state = 'running'; cycle(); }
</script></body></html>)";

// Bytes handed out by malloc and not freed: leaks in native code show here,
// while the script engine's own heap does not.
static qint64 mallocInUse()
{
    return qint64(mallinfo2().uordblks);
}

static bool runCycles(QWebFrame *frame, int cycles)
{
    frame->evaluateJavaScript(QStringLiteral("run(%1)").arg(cycles));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 600000) {
        const QString now = frame->evaluateJavaScript(QStringLiteral("state")).toString();
        if (now == QLatin1String("done")) {
            // Let the last connection end and be freed.
            QTest::qWait(200);
            return true;
        }
        if (now == QLatin1String("failed")) {
            fprintf(stderr, "failed: %s\n", qPrintable(frame->evaluateJavaScript(QStringLiteral("why")).toString()));
            return false;
        }
        QTest::qWait(5);
    }
    fprintf(stderr, "timed out\n");
    return false;
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: ftp-cycles-bench PORT [CYCLES]\n");
        return 2;
    }
    const int port = atoi(argv[1]);
    const int cycles = argc > 2 ? atoi(argv[2]) : 1000;

    BenchPage page(kPage);
    if (!page.isReady())
        return 1;
    QWebFrame *frame = page.frame();
    frame->evaluateJavaScript(QStringLiteral("port = %1;").arg(port));
    // Warm-up: the first connections fill caches that stay whatever happens later.
    if (!runCycles(frame, 50))
        return 1;
    const qint64 before = BenchPage::statusKiB("VmRSS:");
    const qint64 heapBefore = mallocInUse();
    QElapsedTimer clock;
    clock.start();
    if (!runCycles(frame, cycles))
        return 1;
    const double seconds = clock.elapsed() / 1000.0;
    const qint64 after = BenchPage::statusKiB("VmRSS:");
    const qint64 heapAfter = mallocInUse();
    const bool unique = frame->evaluateJavaScript(
        QStringLiteral("handles.every(function (x, i) { return i == 0 || x > handles[i - 1]; })")).toBool();
    printf("cycles %d seconds %.1f rss-before-KiB %lld rss-after-KiB %lld growth-per-cycle-bytes %.0f "
           "handles-unique %s last-state %d\n",
           cycles, seconds, before, after, (after - before) * 1024.0 / cycles, unique ? "yes" : "no",
           frame->evaluateJavaScript(QStringLiteral("app.ftpState(h)")).toInt());
    printf("malloc-in-use-before-KiB %lld malloc-in-use-after-KiB %lld malloc-growth-per-cycle-bytes %.0f\n",
           heapBefore / 1024, heapAfter / 1024, double(heapAfter - heapBefore) / cycles);
    printf("target: growth-per-cycle-bytes near 0 (an ended connection keeps nothing)\n");
    return 0;
}
