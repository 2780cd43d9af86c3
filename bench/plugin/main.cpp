// koupdater-page-bench: the dictionary import started from a page through
// lkoupdater.updateData, timed from the call to the callback, with the longest
// gap between ticks of a 10 ms page timer while it runs.
//   koupdater-page-bench PLUGIN DATABASE DICTIONARY
#include "benchpage.h"
#include "xjsliteral.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebFrame>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: koupdater-page-bench PLUGIN DATABASE DICTIONARY\n");
        return 2;
    }
    const QString database = QFileInfo(args.at(2)).absoluteFilePath();
    const QString dictionary = QFileInfo(args.at(3)).absoluteFilePath();
    const QString plugin = QFileInfo(args.at(1)).absoluteFilePath();

    BenchPage page("<html><body><script>"
                   "var last = 0, maxGap = 0, ticks = 0, result = null;"
                   "setInterval(function(){ var now = Date.now(); if (last) maxGap = Math.max(maxGap, now - last);"
                   " last = now; ++ticks; }, 10);"
                   "function start(db, dict){ last = 0; maxGap = 0; ticks = 0;"
                   " lkoupdater.updateData(db, dict, 'done'); }"
                   "function done(r){ result = r; }"
                   "</script></body></html>");
    if (!page.isReady() || !QDir().mkpath(QStringLiteral("libs"))
        || !QFile::copy(plugin, QStringLiteral("libs/KOUpdater.so")))
        return 3;
    QWebFrame *frame = page.frame();
    frame->evaluateJavaScript(QStringLiteral("app.loadPlugin('libs/KOUpdater.dll');"));
    if (frame->evaluateJavaScript(QStringLiteral("typeof lkoupdater")).toString() != QLatin1String("object"))
        return 5;

    QElapsedTimer timer;
    timer.start();
    frame->evaluateJavaScript(QStringLiteral("start(%1, %2)")
                                  .arg(XJsLiteral::fromString(database), XJsLiteral::fromString(dictionary)));
    while (frame->evaluateJavaScript(QStringLiteral("result === null")).toBool())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double wall = timer.nsecsElapsed() / 1e9;
    const QVariantMap result = frame->evaluateJavaScript(QStringLiteral("result")).toMap();
    std::printf("page import: %.2f s wall (import %.2f s), status %s, %lld records, longest timer gap %d ms over %d "
                "ticks\n",
                wall, result.value(QStringLiteral("seconds")).toDouble(),
                qPrintable(result.value(QStringLiteral("status")).toString()),
                result.value(QStringLiteral("records")).toLongLong(),
                frame->evaluateJavaScript(QStringLiteral("maxGap")).toInt(),
                frame->evaluateJavaScript(QStringLiteral("ticks")).toInt());
    return result.value(QStringLiteral("status")).toString() == QLatin1String("ok") ? 0 : 1;
}
