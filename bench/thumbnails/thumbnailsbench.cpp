// Thumbnails of 200 photos of 12 megapixels through a page (app._thumbnail,
// what vesk.thumbnail calls), cold cache and warm, against Pillow with
// Image.draft + thumbnail on the same files in the same run (skipped when
// python3-pil is missing). Also the peak memory of the process and the largest
// gap of a 10 ms page timer while the cold run goes.
// Targets: cold <= 1x Pillow, peak < 300 MiB, warm < 0.2 s.
//   thumbnails-bench [PHOTOS] [ROUNDS] [SIDE]
#include "benchpage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>
#include <QWebFrame>

#include <algorithm>
#include <cstdio>
#include <vector>

static const char *kPillow = R"(
import sys, os, time
from PIL import Image
src, out, side = sys.argv[1], sys.argv[2], int(sys.argv[3])
t = time.perf_counter()
for name in sorted(os.listdir(src)):
    im = Image.open(os.path.join(src, name))
    im.draft('RGB', (side, side))
    im.thumbnail((side, side))
    im.save(os.path.join(out, name), 'JPEG', quality=85)
print(time.perf_counter() - t)
)";

// Photos with detail, so they decode like camera files rather than flat colour.
static int makePhotos(const QString &dir, int count)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), QColor::fromHsv((i * 37) % 360, 120, 200));
        for (int k = 0; k < 400; ++k) {
            painter.setPen(QColor::fromHsv((i * 13 + k * 29) % 360, 200, (k * 7) % 256));
            painter.drawLine((k * 97 + i) % 4000, (k * 53) % 3000, (k * 31 + i * 7) % 4000, (k * 71 + i) % 3000);
        }
        painter.end();
        QImageWriter writer(QDir(dir).filePath(QStringLiteral("photo%1.jpg").arg(i, 4, 10, QLatin1Char('0'))));
        writer.setQuality(90);
        if (!writer.write(image))
            return 1;
    }
    return 0;
}

static qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "make") == 0) {
        QGuiApplication application(argc, argv);
        return makePhotos(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    }
    QTemporaryDir work;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(work.filePath(QStringLiteral("cache"))));
    QApplication application(argc, argv);
    const int photos = argc > 1 ? atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? qMax(1, atoi(argv[2])) : 3;
    const int side = argc > 3 ? atoi(argv[3]) : 256;
    const QString src = work.filePath(QStringLiteral("photos"));
    QDir().mkpath(src);
    // Made by another process, so their decoding stays out of this one's peak.
    QProcess maker;
    maker.start(QCoreApplication::applicationFilePath(), {QStringLiteral("make"), src, QString::number(photos)});
    if (!maker.waitForFinished(-1) || maker.exitCode() != 0) {
        fprintf(stderr, "could not make the photos\n");
        return 1;
    }
    QProcess probe;
    probe.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral("import PIL")});
    const bool pillow = probe.waitForFinished() && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;

    BenchPage page("<html><body></body></html>");
    if (!page.isReady())
        return 1;
    QWebFrame *frame = page.frame();
    const QString thumbs = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails");
    frame->evaluateJavaScript(QStringLiteral("var names = app.dirContent(%1).files.map(function (f) { return %1 + '/' + f; });"
                                             "var timer; function run(side) { window.done = 0; window.failed = 0; window.gap = 0;"
                                             " var last = Date.now(); timer = setInterval(function () {"
                                             "  var now = Date.now(); gap = Math.max(gap, now - last); last = now; }, 10);"
                                             " names.forEach(function (n) { app._thumbnail(n, side, 'thumbDone', 'thumbFailed'); }); }"
                                             "function thumbDone() { if (++done + failed === names.length) clearInterval(timer); }"
                                             "function thumbFailed() { if (done + ++failed === names.length) clearInterval(timer); }")
                                  .arg(QStringLiteral("'") + src + QStringLiteral("'")));
    auto runOnce = [&](double *gap) {
        QElapsedTimer t;
        t.start();
        frame->evaluateJavaScript(QStringLiteral("run(%1)").arg(side));
        const bool finished = QTest::qWaitFor(
            [&] { return frame->evaluateJavaScript(QStringLiteral("done + failed")).toInt() == photos; }, 600000);
        const double seconds = t.nsecsElapsed() / 1e9;
        if (gap)
            *gap = frame->evaluateJavaScript(QStringLiteral("gap")).toDouble();
        if (!finished || frame->evaluateJavaScript(QStringLiteral("failed")).toInt() != 0) {
            fprintf(stderr, "thumbnails failed\n");
            return -1.0;
        }
        return seconds;
    };

    std::vector<double> cold, warm, peer, gaps;
    for (int round = 0; round < rounds; ++round) {
        QDir(thumbs).removeRecursively();
        double gap = 0;
        const double c = runOnce(&gap);
        if (c < 0)
            return 1;
        cold.push_back(c);
        gaps.push_back(gap);
        warm.push_back(runOnce(nullptr));
        if (pillow) {
            QTemporaryDir out;
            QProcess python;
            python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kPillow), src, out.path(),
                                                     QString::number(side)});
            if (!python.waitForFinished(-1) || python.exitCode() != 0) {
                fprintf(stderr, "python3 failed: %s\n", python.readAllStandardError().constData());
                return 1;
            }
            peer.push_back(python.readAllStandardOutput().trimmed().toDouble());
        }
    }
    printf("%d photos of 4000 x 3000, longer side %d, median of %d interleaved rounds\n", photos, side, rounds);
    if (pillow)
        printf("cold cache: vesk %.3f s, Pillow draft + thumbnail %.3f s, ratio %.2f (target <= 1)\n", median(cold),
               median(peer), median(cold) / median(peer));
    else
        printf("cold cache: vesk %.3f s (Pillow skipped: python3-pil is not installed)\n", median(cold));
    printf("warm cache: vesk %.3f s (target < 0.2 s)\n", median(warm));
    printf("peak memory of the process: %.1f MiB (target < 300 MiB)\n", peakKiB() / 1024.0);
    printf("largest gap of a 10 ms page timer during a cold run: %.0f ms (target < 50 ms)\n", median(gaps));
    return 0;
}
