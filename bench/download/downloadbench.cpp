// download-bench URL TARGET: one _download through a page, as an application
// makes it; prints seconds, MiB/s and the process's peak memory.
#include "xwebsettings.h"
#include "xwebview.h"
#include "xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebFrame>
#include <QWebView>

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
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.path() + QStringLiteral("/app/init.html"));
    if (!page.open(QIODevice::WriteOnly))
        return 2;
    page.write("<html><body><script>window.result = '';"
               "function ok(){ result = 'ok'; } function err(e){ result = e.error_text; }</script></body></html>");
    page.close();
    QDir::setCurrent(dir.path());
    XWebSettings::applyGlobal();

    XWebWindow window;
    QEventLoop loaded;
    QObject::connect(window.view(), &QWebView::loadFinished, &loaded, &QEventLoop::quit);
    window.load(QStringLiteral("/init.html"));
    loaded.exec();

    QElapsedTimer clock;
    clock.start();
    window.mainFrame()->evaluateJavaScript(QStringLiteral("app._download('%1', '%2', 'ok', 'err');").arg(url, target));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.mainFrame()->evaluateJavaScript(QStringLiteral("result")).toString().isEmpty())
            app.quit();
    });
    poll.start(20);
    app.exec();
    const double secs = clock.elapsed() / 1000.0;
    const QString result = window.mainFrame()->evaluateJavaScript(QStringLiteral("result")).toString();
    struct rusage usage { };
    getrusage(RUSAGE_SELF, &usage);
    const double mib = QFileInfo(target).size() / 1048576.0;
    std::printf("vesk _download: %s, %.0f MiB in %.2f s = %.1f MiB/s, peak memory %.1f MiB\n", qPrintable(result), mib,
                secs, mib / secs, usage.ru_maxrss / 1024.0);
    return result == QLatin1String("ok") ? 0 : 1;
}
