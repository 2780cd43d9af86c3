#pragma once

#include <QString>
#include <QStringList>

// Where a library named by a page is looked for. Pages name libraries the way
// they were written for Windows ("libs/KOUpdater.dll") or without a suffix; both
// mean the platform's library. A relative name is taken from the current
// directory (the platform loader would search the library path for it), and
// "libs/NAME" falls back to the plug-ins installed with vesk.
class XPluginPath {
public:
    // The files tried, in order.
    static QStringList candidates(const QString &path, const QString &currentDir, const QString &installedDir);
    // The first candidate that is a file; empty when there is none.
    static QString resolve(const QString &path, const QString &currentDir, const QString &installedDir);
};
