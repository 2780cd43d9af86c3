// One file through the uploader's four-part flow (XClient, as the plug-in runs
// it) to the service at VESK_UPLOADER_ENDPOINT; prints seconds and peak memory.
// Usage: uploader-bench FILE
#include "xclient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

#include <sys/resource.h>

static long peakKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A real event loop: QTest::qWaitFor sleeps between rounds, and Qt feeds
// upload data to its HTTP thread from this thread.
static QString waitForEnd(QWebFrame *frame)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (frame->evaluateJavaScript(QStringLiteral("state")).toString() != QLatin1String("busy"))
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return frame->evaluateJavaScript(QStringLiteral("state")).toString();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: uploader-bench FILE\n");
        return 2;
    }
    QWebPage page;
    page.mainFrame()->setHtml(
        QStringLiteral("<script>var state = 'busy'; function ok(){ state = 'ok'; }"
                       "function err(e){ state = JSON.stringify(e); } function prog(){}</script>"));
    QWebFrame *frame = page.mainFrame();
    XClient client([frame](const QString &script) { frame->evaluateJavaScript(script); });
    client.setCredentials(QStringLiteral("demo"), QStringLiteral("demo-key"), QStringLiteral("secret"));
    client.login(QStringLiteral("ok"), QStringLiteral("err"));
    QString state = waitForEnd(page.mainFrame());
    if (state != QLatin1String("ok")) {
        fprintf(stderr, "sign-in failed: %s\n", qPrintable(state));
        return 1;
    }
    const long before = peakKiB();
    page.mainFrame()->evaluateJavaScript(QStringLiteral("state = 'busy'"));
    QElapsedTimer timer;
    timer.start();
    client.uploadImage(QString::fromLocal8Bit(argv[1]), QVariantMap(), QStringLiteral("ok"), QStringLiteral("err"),
                       QStringLiteral("prog"));
    state = waitForEnd(page.mainFrame());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (state != QLatin1String("ok")) {
        fprintf(stderr, "upload failed: %s\n", qPrintable(state));
        return 1;
    }
    printf("vesk   %.3f s  peak %ld MiB (before the upload %ld MiB)\n", seconds, peakKiB() / 1024, before / 1024);
    return 0;
}
