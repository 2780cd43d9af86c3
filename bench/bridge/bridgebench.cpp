// app.call round trips per second against raw evaluateJavaScript of the same call.
//   bridge-bench [ITERATIONS]
#include "benchpage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebFrame>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 20000;
    BenchPage page(
        "<html><body><script>var total = 0; function f(i, s){ total += i + s.length; }</script></body></html>");
    if (!page.isReady())
        return 1;
    QWebFrame *frame = page.frame();

    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            frame->evaluateJavaScript(QStringLiteral("f(%1,'it\\'s');").arg(i));
        best[0] = qMin(best[0], t.nsecsElapsed() / 1e9);

        t.restart();
        frame->evaluateJavaScript(QStringLiteral("for (var i = 0; i < %1; ++i) app.call('f', i, \"it's\");").arg(n));
        best[1] = qMin(best[1], t.nsecsElapsed() / 1e9);
    }
    const double raw = n / best[0], bridged = n / best[1];
    printf("iterations %d (best of 5, interleaved)\n", n);
    printf("raw evaluateJavaScript  %.0f calls/s\n", raw);
    printf("app.call round trip     %.0f calls/s\n", bridged);
    printf("ratio %.2fx  (target: at least 0.8x)\n", bridged / raw);
    return 0;
}
