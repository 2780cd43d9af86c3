#include "kotagimportresult.h"

QString KOTagImportResult::summary() const
{
    QString line = QStringLiteral("read %1 keywords, %2 texts, %3 relations (%4 ignored, %5 skipped); "
                                  "inserted %6, updated %7, unchanged %8, deleted %9; %10 s, write lock %11 s")
                       .arg(keywordRecords)
                       .arg(textRecords)
                       .arg(relationRecords)
                       .arg(ignoredRecords)
                       .arg(skippedRecords)
                       .arg(inserted)
                       .arg(updated)
                       .arg(unchanged)
                       .arg(deleted)
                       .arg(seconds, 0, 'f', 2)
                       .arg(writeLockSeconds, 0, 'f', 2);
    if (failedRelationStatements > 0)
        line += QStringLiteral("; %1 relation statements failed").arg(failedRelationStatements);
    switch (status) {
    case Completed: break;
    case RolledBack:
    case NotADictionary: line += QStringLiteral("; import rolled back: ") + error; break;
    case DictionaryUnreadable:
    case DatabaseUnavailable: line += QStringLiteral("; nothing imported: ") + error; break;
    }
    return line;
}
