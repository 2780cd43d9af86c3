// tagimportpausehelper DATABASE DICTIONARY RECORDS: runs the import and, after
// RECORDS records, prints "paused" and waits on stdin inside the write
// transaction, so that a test can kill it at a known point.
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
    import.setProgressHandler(args.at(3).toLongLong(), [](qint64 records) {
        std::printf("paused %lld\n", static_cast<long long>(records));
        std::fflush(stdout);
        // Never let the import go on: closing stdin ends the process without a commit.
        while (std::getchar() != EOF) {
        }
        std::_Exit(3);
    });
    const KOTagImportResult result = import.run();
    std::printf("%s\n", qPrintable(result.summary()));
    return result.ok() ? 0 : 1;
}
