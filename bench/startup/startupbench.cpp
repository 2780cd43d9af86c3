// Start-up of vesk against a bare Qt WebKit program on the same page, in the same run:
// wall time from process start to exit right after the start page has loaded, and peak memory.
//   startup-bench VESK BARE [RUNS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

struct Sample {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

Sample runOnce(const QStringList &command, const QString &cwd)
{
    QVector<QByteArray> args;
    for (const QString &a : command)
        args << a.toLocal8Bit();
    QVector<char *> argv;
    for (QByteArray &a : args)
        argv << a.data();
    argv << nullptr;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(cwd);
    Sample s;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage {};
        wait4(pid, &status, 0, &usage);
        s.seconds = timer.nsecsElapsed() / 1e9;
        s.peakKiB = usage.ru_maxrss;
        s.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    QDir::setCurrent(previous);
    return s;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 3) {
        fprintf(stderr, "usage: startup-bench VESK BARE [RUNS]\n");
        return 2;
    }
    const int runs = args.size() > 3 ? args.at(3).toInt() : 10;
    const QString vesk = QFileInfo(args.at(1)).absoluteFilePath();
    const QString bare = QFileInfo(args.at(2)).absoluteFilePath();
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QFile page(dir.filePath(QStringLiteral("app/init.html")));
    page.open(QIODevice::WriteOnly);
    QByteArray body =
        "<!DOCTYPE html><html><head><title>start</title><style>p{font:14px sans-serif}</style></head><body>";
    for (int i = 0; i < 200; ++i)
        body += "<p>Paragraph " + QByteArray::number(i) + " of a typical start page.</p>";
    body += "<script>window.onload = function(){ if (window.app) app.exit(0); };</script></body></html>";
    page.write(body);
    page.close();

    QVector<double> vt, bt, vm, bm;
    for (int i = 0; i < runs; ++i) {
        // Alternate so that neither program profits from a warmer cache.
        const Sample v = runOnce({vesk, QStringLiteral("--workdir"), dir.path()}, dir.path());
        const Sample b = runOnce({bare, page.fileName()}, dir.path());
        if (v.status != 0 || b.status != 0) {
            fprintf(stderr, "run %d failed: vesk %d, bare %d\n", i, v.status, b.status);
            return 1;
        }
        vt << v.seconds;
        bt << b.seconds;
        vm << v.peakKiB;
        bm << b.peakKiB;
    }
    const double t1 = median(vt), t0 = median(bt), m1 = median(vm), m0 = median(bm);
    printf("runs %d (medians)\n", runs);
    printf("vesk  %.3f s  %.1f MiB\n", t1, m1 / 1024);
    printf("bare  %.3f s  %.1f MiB\n", t0, m0 / 1024);
    printf("ratio time %.2fx  memory %.2fx  (target: at most 1.2x each)\n", t1 / t0, m1 / m0);
    return 0;
}
