#pragma once

#include <QString>
#include <QStringList>

// Search forms of keyword texts: diacritics folded to ASCII, then lower case
// letters, digits, Cyrillic lower case and single spaces only.
class KOTagFolding {
public:
    // Replaces each character of the folding table; other characters pass through.
    static QString foldDiacritics(const QString &text);

    // Doubles every single quote, for texts written into SQL string literals.
    static QString escapeQuotes(const QString &text);

    static QString searchName(const QString &name);

    // The folding table in its stored order: 89 characters and, index for index,
    // their replacements.
    static QString foldChars();
    static QStringList foldReplacements();
};
