// Memory kept by finished programs: a page runs many short programs through
// app._exec, a few at a time, and the resident size is compared before and after,
// and again after a second round of as many (a leak grows in both rounds; what
// the engine or the allocator keeps once does not).
//   processes-bench [PROGRAMS] [AT_ONCE]
#include "benchpage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QWebFrame>
#include <QWebSettings>

#include <cstdio>

namespace {

const QByteArray kPage = "<html><body><script>"
                         "var started = 0, done = 0, total = 0;"
                         "function finished(text, code) { done++; if (started < total) start(); }"
                         "function start() { started++; app._exec('true', 'finished'); }"
                         "function run(n, atOnce) { total += n; for (var i = 0; i < atOnce; ++i) start(); }"
                         "</script></body></html>";

bool runPrograms(QWebFrame *frame, int count, int atOnce)
{
    const int target = frame->evaluateJavaScript(QStringLiteral("done")).toInt() + count;
    frame->evaluateJavaScript(QStringLiteral("run(%1, %2)").arg(count).arg(atOnce));
    QElapsedTimer timeout;
    timeout.start();
    while (frame->evaluateJavaScript(QStringLiteral("done")).toInt() < target) {
        if (timeout.elapsed() > 600000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    // Let objects scheduled for deletion, and the script engine's garbage, go before measuring.
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    QWebSettings::clearMemoryCaches();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int programs = argc > 1 ? atoi(argv[1]) : 5000;
    const int atOnce = argc > 2 ? atoi(argv[2]) : 20;
    BenchPage page(kPage);
    if (!page.isReady())
        return 1;
    QWebFrame *frame = page.frame();
    // A first round, so that what every run needs once (the engine, caches) is in place.
    if (!runPrograms(frame, 200, atOnce))
        return 1;
    const qint64 before = BenchPage::statusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    if (!runPrograms(frame, programs, atOnce)) {
        fprintf(stderr, "the programs did not all finish\n");
        return 1;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 after = BenchPage::statusKiB("VmRSS:");
    if (!runPrograms(frame, programs, atOnce)) {
        fprintf(stderr, "the programs did not all finish\n");
        return 1;
    }
    const qint64 again = BenchPage::statusKiB("VmRSS:");
    printf("%d programs ('true'), %d at a time, in %.2f s (%.0f per second)\n", programs, atOnce, seconds,
           programs / seconds);
    printf("resident before %lld KiB, after %lld KiB: %+lld KiB, %.2f KiB per program\n", before, after,
           after - before, double(after - before) / programs);
    printf("after %d more: %lld KiB: %+lld KiB, %.2f KiB per program  (target: under 0.1 KiB per program)\n",
           programs, again, again - after, double(again - after) / programs);
    return 0;
}
