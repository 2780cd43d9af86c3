#include "kotagfolding.h"

#include <array>

namespace {

struct FoldGroup {
    const char16_t *chars;
    const char *replacement; // nullptr: one replacement character per character, taken from `each`
    const char *each;
};

// Stored order matters only for the exported table; every character appears once.
const FoldGroup foldGroups[] = {
    {u"\u010C\u010D\u010E\u010F\u011A\u011B\u013D\u013E\u0147\u0148\u0143\u0144\u0158\u0159\u0154\u0155\u0164\u0165",
     nullptr, "CcDdEeLlNnNnRrRrTt"},
    {u"\u0160", "S", nullptr},
    {u"\u0152", "OE", nullptr},
    {u"\u017D", "Z", nullptr},
    {u"\u0161", "s", nullptr},
    {u"\u0153", "oe", nullptr},
    {u"\u017E", "z", nullptr},
    {u"\u0178\u00A5", "Y", nullptr},
    {u"\u00B5", "u", nullptr},
    {u"\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5", "A", nullptr},
    {u"\u00C6", "AE", nullptr},
    {u"\u00C7", "C", nullptr},
    {u"\u00C8\u00C9\u00CA\u00CB", "E", nullptr},
    {u"\u00CC\u00CD\u00CE\u00CF", "I", nullptr},
    {u"\u00D0", "D", nullptr},
    {u"\u00D1", "N", nullptr},
    {u"\u00D2\u00D3\u00D4\u00D5\u00D6\u00D8", "O", nullptr},
    {u"\u00D9\u00DA\u00DB\u00DC\u016E", "U", nullptr},
    {u"\u00DD", "Y", nullptr},
    {u"\u00DF", "s", nullptr},
    {u"\u00E0\u00E1\u00E2\u00E3\u00E4\u00E5", "a", nullptr},
    {u"\u00E6", "ae", nullptr},
    {u"\u00E7", "c", nullptr},
    {u"\u00E8\u00E9\u00EA\u00EB", "e", nullptr},
    {u"\u00EC\u00ED\u00EE\u00EF", "i", nullptr},
    {u"\u00F0", "o", nullptr},
    {u"\u00F1", "n", nullptr},
    {u"\u00F2\u00F3\u00F4\u00F5\u00F6\u00F8", "o", nullptr},
    {u"\u00F9\u00FA\u00FB\u00FC\u016F", "u", nullptr},
    {u"\u00FD\u00FF", "y", nullptr},
};

// Every folded character lies below U+0180, so a flat array indexed by the
// UTF-16 unit replaces the linear search of the table.
constexpr int foldRange = 0x180;

struct FoldTable {
    QString chars;
    QStringList replacements;
    std::array<QString, foldRange> byUnit;
};

const FoldTable &foldTable()
{
    // Built once; C++ guarantees thread-safe initialisation, and it is only read afterwards.
    static const FoldTable table = [] {
        FoldTable t;
        for (const FoldGroup &group : foldGroups) {
            const QString chars = QString::fromUtf16(group.chars);
            for (int i = 0; i < chars.size(); ++i) {
                const QString replacement =
                    group.replacement ? QString::fromLatin1(group.replacement) : QString(QLatin1Char(group.each[i]));
                t.chars.append(chars.at(i));
                t.replacements.append(replacement);
                QString &slot = t.byUnit[chars.at(i).unicode()];
                if (slot.isNull())
                    slot = replacement;
            }
        }
        return t;
    }();
    return table;
}

bool keptInSearchName(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == ' ' || (u >= 0x0430 && u <= 0x044F);
}

} // namespace

QString KOTagFolding::foldDiacritics(const QString &text)
{
    const FoldTable &table = foldTable();
    QString result;
    result.reserve(text.size() + 8);
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < foldRange && !table.byUnit[u].isNull())
            result.append(table.byUnit[u]);
        else
            result.append(c);
    }
    return result;
}

QString KOTagFolding::escapeQuotes(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\''), QLatin1String("''"));
    return result;
}

// Same result as: fold, lower case, "[^a-z0-9а-я ]" -> " ", "[ ][ ][ ]*" -> " ",
// trim; written as one pass because it runs once per keyword text.
QString KOTagFolding::searchName(const QString &name)
{
    const QString lower = foldDiacritics(name).toLower();
    QString result;
    result.reserve(lower.size());
    bool pendingSpace = false;
    for (const QChar c : lower) {
        if (!keptInSearchName(c) || c == QLatin1Char(' ')) {
            pendingSpace = true;
            continue;
        }
        if (pendingSpace && !result.isEmpty())
            result.append(QLatin1Char(' '));
        pendingSpace = false;
        result.append(c);
    }
    return result;
}

QString KOTagFolding::foldChars()
{
    return foldTable().chars;
}

QStringList KOTagFolding::foldReplacements()
{
    return foldTable().replacements;
}
