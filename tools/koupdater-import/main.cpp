// koupdater-import DATABASE DICTIONARY: the updater plug-in's dictionary import, from the shell.
#include "kotagimport.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2 || args.at(0).startsWith(QLatin1Char('-'))) {
        err << "usage: koupdater-import DATABASE DICTIONARY\n"
               "Imports a keyword dictionary into the tables tag, tagtext and tagrelation of an SQLite database.\n";
        return 2;
    }

    const KOTagImportResult result = KOTagImport::importDictionary(args.at(0), args.at(1));
    out << result.summary() << '\n';
    out.flush();
    switch (result.status) {
    case KOTagImportResult::Completed: return 0;
    case KOTagImportResult::DictionaryUnreadable:
        err << "koupdater-import: " << result.error << "; the database was not touched\n";
        return 3;
    case KOTagImportResult::DatabaseUnavailable:
        err << "koupdater-import: " << result.error << "; the database was not changed\n";
        return 4;
    case KOTagImportResult::RolledBack:
        err << "koupdater-import: " << result.error << "; the import was rolled back, the database is as it was\n";
        return 5;
    case KOTagImportResult::NotADictionary:
        err << "koupdater-import: " << result.error << "; nothing was imported, the database is as it was\n";
        return 6;
    }
    return 1;
}
