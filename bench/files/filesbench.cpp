// copydir and rmdir through a page against cp -r and rm -rf of the same tree.
//   files-bench [ROUNDS] [WORK_DIR]
// The tree: 20,000 files in 2,000 folders, 64 MiB in all.
#include "benchpage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QWebFrame>

#include <cstdio>
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
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
