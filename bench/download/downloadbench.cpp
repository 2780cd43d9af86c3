// download-bench URL TARGET: one _download through a page, as an application
// makes it; prints seconds, MiB/s and the process's peak memory.
#include "benchpage.h"
#include "xjsliteral.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWebFrame>

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: download-bench URL TARGET\n");
        return 2;
    }
    const QString url = QString::fromLocal8Bit(argv[1]);
    const QString target = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    BenchPage page("<html><body><script>window.result = '';"
                   "function ok(){ result = 'ok'; } function err(e){ result = e.error_text; }</script></body></html>");
    if (!page.isReady())
        return 2;
    QWebFrame *frame = page.frame();

    QElapsedTimer clock;
    clock.start();
    frame->evaluateJavaScript(QStringLiteral("app._download(%1, %2, 'ok', 'err');")
                                  .arg(XJsLiteral::fromString(url), XJsLiteral::fromString(target)));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!frame->evaluateJavaScript(QStringLiteral("result")).toString().isEmpty())
            app.quit();
    });
    poll.start(20);
    app.exec();
    const double secs = clock.elapsed() / 1000.0;
    const QString result = frame->evaluateJavaScript(QStringLiteral("result")).toString();
    struct rusage usage { };
    getrusage(RUSAGE_SELF, &usage);
    const double mib = QFileInfo(target).size() / 1048576.0;
    std::printf("vesk _download: %s, %.0f MiB in %.2f s = %.1f MiB/s, peak memory %.1f MiB\n", qPrintable(result), mib,
                secs, mib / secs, usage.ru_maxrss / 1024.0);
    return result == QLatin1String("ok") ? 0 : 1;
}
