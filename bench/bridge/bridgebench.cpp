// app.call round trips per second against raw evaluateJavaScript of the same call.
//   bridge-bench [ITERATIONS]
#include "xwebview.h"
#include "xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebFrame>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 20000;
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QDir::setCurrent(dir.path());
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    page.open(QIODevice::WriteOnly);
    page.write("<html><body><script>var total = 0; function f(i, s){ total += i + s.length; }</script></body></html>");
    page.close();

    XWebWindow window;
    QSignalSpy loaded(window.view(), &QWebView::loadFinished);
    window.load(QStringLiteral("/init.html"));
    if (!loaded.wait(10000))
        return 1;
    QWebFrame *frame = window.mainFrame();

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
