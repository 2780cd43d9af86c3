// One download or upload started by a page through app._ftpGet / app._ftpPut
// with a progress callback; prints throughput and how long the page's own
// timer was kept waiting.
//   ftp-page-bench get|put PORT REMOTE LOCALFILE      (user "user", password "pass", 127.0.0.1)
#include "xjsliteral.h"
#include "benchpage.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebFrame>

#include <cstdio>

// A 10 ms page timer records its largest gap while the transfer runs.
static const char kPage[] = R"(<html><body><script>
var state = 'idle', calls = 0, bytes = 0, maxGap = 0, last = 0, seconds = 0, why = '', t0 = 0;
function tick(){ var n = Date.now(); if (last && n - last > maxGap) maxGap = n - last; last = n; }
function prog(d, t){ calls++; bytes = d; }
function fail(e){ why = e.error_text; state = 'failed'; }
function loggedIn(){ state = 'ready'; }
function finished(){ seconds = (Date.now() - t0) / 1000; state = 'done'; }
function start(verb, remote, local){
  maxGap = 0; last = 0; t0 = Date.now(); state = 'running';
  if (!window.noTimer) setInterval(tick, 10);
  var p = window.noProgress ? '' : 'prog';
  if (verb == 'get') app._ftpGet(h, remote, local, 'finished', 'fail', p);
  else app._ftpPut(h, local, remote, 'finished', 'fail', p);
}
</script></body></html>)";

// A real event loop, as a page has it: QTest::qWait sleeps 10 ms between its
// rounds of events, which throttles a transfer and delays every reply.
static bool waitFor(QWebFrame *frame, const QString &state)
{
    QEventLoop loop;
    QTimer poll;
    QString now;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        now = frame->evaluateJavaScript(QStringLiteral("state")).toString();
        if (now == state || now == QLatin1String("failed"))
            loop.quit();
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    poll.start(20);
    loop.exec();
    if (now == QLatin1String("failed"))
        fprintf(stderr, "failed: %s\n", qPrintable(frame->evaluateJavaScript(QStringLiteral("why")).toString()));
    return now == state;
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 5 || (qstrcmp(argv[1], "get") && qstrcmp(argv[1], "put"))) {
        fprintf(stderr, "usage: ftp-page-bench get|put PORT REMOTE LOCALFILE\n");
        return 2;
    }
    const QString verb = QString::fromLocal8Bit(argv[1]);
    const int port = atoi(argv[2]);
    const QString remote = QString::fromLocal8Bit(argv[3]);
    const QString local = QFileInfo(QString::fromLocal8Bit(argv[4])).absoluteFilePath();

    BenchPage page(kPage);
    if (!page.isReady())
        return 1;
    QWebFrame *frame = page.frame();
    frame->evaluateJavaScript(
        QStringLiteral("h = app._ftpConnect('127.0.0.1', %1); app._ftpLogin(h, 'user', 'pass', 'loggedIn', 'fail');")
            .arg(port));
    if (!waitFor(frame, QStringLiteral("ready")))
        return 1;
    // For finding where time goes: FTP_PAGE_BENCH=notimer,noprogress
    const QByteArray knobs = qgetenv("FTP_PAGE_BENCH");
    frame->evaluateJavaScript(
        QStringLiteral("noTimer = %1; noProgress = %2;")
            .arg(knobs.contains("notimer") ? "true" : "false", knobs.contains("noprogress") ? "true" : "false"));
    frame->evaluateJavaScript(
        QStringLiteral("start(%1, %2, %3)")
            .arg(XJsLiteral::fromString(verb), XJsLiteral::fromString(remote), XJsLiteral::fromString(local)));
    if (!waitFor(frame, QStringLiteral("done")))
        return 1;
    const double bytes = frame->evaluateJavaScript(QStringLiteral("bytes")).toDouble();
    const double seconds = frame->evaluateJavaScript(QStringLiteral("seconds")).toDouble();
    printf("bytes %.0f seconds %.3f MB/s %.1f progress-calls %d max-timer-gap-ms %d\n", bytes, seconds,
           seconds > 0 ? bytes / seconds / 1e6 : 0.0, frame->evaluateJavaScript(QStringLiteral("calls")).toInt(),
           frame->evaluateJavaScript(QStringLiteral("maxGap")).toInt());
    return 0;
}
