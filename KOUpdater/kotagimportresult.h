#pragma once

#include <QString>

// What one dictionary import did. Row counts are those the database reported.
class KOTagImportResult {
public:
    enum Status {
        Completed,
        DictionaryUnreadable, // nothing was touched
        DatabaseUnavailable, // nothing was touched
        RolledBack, // a statement failed; the database is as it was
        NotADictionary, // most records malformed; the database is as it was
    };

    Status status = Completed;
    QString error;

    qint64 keywordRecords = 0;
    qint64 textRecords = 0;
    qint64 relationRecords = 0;
    qint64 ignoredRecords = 0; // empty records and unknown kinds
    qint64 unknownRecords = 0; // the non-empty ones of those
    qint64 skippedRecords = 0; // malformed keyword, text and relation records

    qint64 inserted = 0;
    qint64 updated = 0;
    qint64 unchanged = 0;
    qint64 deleted = 0;
    qint64 relationsCleared = 0;
    qint64 failedRelationStatements = 0;

    double seconds = 0;
    double writeLockSeconds = 0;

    bool ok() const { return status == Completed; }

    // One line for people and scripts.
    QString summary() const;
};
