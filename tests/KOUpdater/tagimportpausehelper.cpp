// tagimportpausehelper DATABASE DICTIONARY RECORDS: runs the import and, after
// RECORDS records, prints "paused" and waits for a line on stdin inside the
// write transaction, so that a test can kill it or let it go at a known point.
#include "kotagimport.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    KOTagImport import(args.at(1), args.at(2));
    const qint64 pauseAt = args.at(3).toLongLong();
    import.setProgressHandler(pauseAt, [pauseAt](qint64 records) {
        if (records != pauseAt)
            return;
    std::printf("paused %lld\n", static_cast<long long>(records));
    std::fflush(stdout);
    // A line on stdin lets the import go on; closing stdin ends the process without a commit.
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        std::_Exit(3);
});
const KOTagImportResult result = import.run();
std::printf("%s\n", qPrintable(result.summary()));
return result.ok() ? 0 : 1;
}
