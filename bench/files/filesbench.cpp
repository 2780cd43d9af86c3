// copydir and rmdir through a page against cp -r and rm -rf of the same tree.
//   files-bench [ROUNDS] [WORK_DIR]
// The tree: 20,000 files in 2,000 folders, 64 MiB in all.
// Peak memory of one fileread of a text file, against the size of the text:
//   files-bench read [SIZE_MIB] [WORK_DIR]
#include "api/xjavascriptapi.h"
#include "benchpage.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QWebFrame>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

const int kTopFolders = 40;
const int kSubFolders = 49;
const int kFilesPerFolder = 10;
const qint64 kTotalBytes = 64LL << 20;

bool makeTree(const QString &root)
{
    const int files = (kTopFolders + kTopFolders * kSubFolders) * kFilesPerFolder;
    QByteArray content(int(kTotalBytes / files), 'x');
    auto fill = [&](const QString &dir) {
        if (!QDir().mkpath(dir))
            return false;
        for (int f = 0; f < kFilesPerFolder; ++f) {
            QFile file(dir + QStringLiteral("/file%1.dat").arg(f));
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
                return false;
        }
        return true;
    };
    for (int t = 0; t < kTopFolders; ++t) {
        const QString top = root + QStringLiteral("/top%1").arg(t);
        if (!fill(top))
            return false;
        for (int s = 0; s < kSubFolders; ++s) {
            if (!fill(top + QStringLiteral("/sub%1").arg(s)))
                return false;
        }
    }
    return true;
}

double timed(const std::function<bool()> &work, bool *ok)
{
    QElapsedTimer t;
    t.start();
    *ok = work() && *ok;
    return t.nsecsElapsed() / 1e9;
}

bool run(const QString &program, const QStringList &args)
{
    return QProcess::execute(program, args) == 0;
}

int readPeak(qint64 mib, const QString &workDir)
{
    BenchPage dir("<html><body></body></html>", workDir);
    if (!dir.isReady())
        return 1;
    QFile file(dir.filePath(QStringLiteral("big.txt")));
    const QByteArray line(1023, 'x');
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    for (qint64 i = 0; i < mib * 1024; ++i) {
        if (file.write(line) != line.size() || !file.putChar('\n'))
            return 1;
    }
    file.close();
    // Peak resident size from here on: writing 5 to clear_refs resets it.
    auto resetPeak = [] {
        QFile refs(QStringLiteral("/proc/self/clear_refs"));
        return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
    };
    auto report = [mib](const char *how, qint64 before, qint64 length, double seconds) {
        const qint64 peak = BenchPage::statusKiB("VmHWM:");
        printf("%-28s %lld characters in %.2f s; peak resident %+lld MiB, %.2fx the file's bytes, %.2fx the"
               " text's UTF-16 bytes\n",
               how, length, seconds, (peak - before) >> 10, double(peak - before) * 1024 / (mib << 20),
               double(peak - before) * 512 / (mib << 20));
    };
    printf("fileread of a %lld MiB ASCII file (target: near 3x the text)\n", mib);
    if (!resetPeak())
        return 1;
    qint64 before = BenchPage::statusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    qint64 length = XJavaScriptAPI::of(dir.window())->fileread(QStringLiteral("big.txt")).size();
    report("the slot alone:", before, length, timer.nsecsElapsed() / 1e9);
    if (length != mib << 20 || !resetPeak())
        return 1;
    before = BenchPage::statusKiB("VmRSS:");
    timer.start();
    length = dir.frame()->evaluateJavaScript(QStringLiteral("app.fileread('big.txt').length")).toLongLong();
    report("through the page:", before, length, timer.nsecsElapsed() / 1e9);
    return length == mib << 20 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "read") == 0)
        return readPeak(argc > 2 ? atoll(argv[2]) : 256, argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    const int rounds = argc > 1 ? atoi(argv[1]) : 3;
    BenchPage dir("<html><body></body></html>", argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (!dir.isReady())
        return 1;
    const QString src = dir.filePath(QStringLiteral("tree"));
    if (!makeTree(src)) {
        fprintf(stderr, "cannot make the tree under %s\n", qPrintable(dir.path()));
        return 1;
    }

    QWebFrame *frame = dir.frame();
    auto inPage = [frame](const QString &script) { return frame->evaluateJavaScript(script).toBool(); };

    const QString ours = dir.filePath(QStringLiteral("ours"));
    const QString theirs = dir.filePath(QStringLiteral("theirs"));
    double best[4] = {1e9, 1e9, 1e9, 1e9};
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        best[0] = qMin(best[0], timed([&] { return inPage(QStringLiteral("app.copydir('tree', 'ours')")); }, &ok));
        best[1] = qMin(best[1],
                       timed(
                           [&] {
                               return run(QStringLiteral("cp"), {QStringLiteral("-r"), src, theirs});
                           },
                           &ok));
        best[2] = qMin(best[2], timed([&] { return inPage(QStringLiteral("app.rmdir('ours')")); }, &ok));
        best[3] = qMin(best[3], timed([&] { return run(QStringLiteral("rm"), {QStringLiteral("-rf"), theirs}); }, &ok));
        ok = ok && !QFileInfo::exists(ours) && !QFileInfo::exists(theirs);
    }
    if (!ok) {
        fprintf(stderr, "a copy or removal failed\n");
        return 1;
    }
    printf("tree: %d files in %d folders, %lld MiB, under %s (best of %d, interleaved)\n",
           (kTopFolders + kTopFolders * kSubFolders) * kFilesPerFolder, kTopFolders + kTopFolders * kSubFolders,
           kTotalBytes >> 20, qPrintable(dir.path()), rounds);
    printf("app.copydir  %.3f s   cp -r   %.3f s   ratio %.2fx  (target: at most 1.5x)\n", best[0], best[1],
           best[0] / best[1]);
    printf("app.rmdir    %.3f s   rm -rf  %.3f s   ratio %.2fx  (target: at most 1.5x)\n", best[2], best[3],
           best[2] / best[3]);
    return 0;
}
