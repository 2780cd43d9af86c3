#pragma once

#include <QFileInfoList>
#include <QString>
#include <QVariantMap>

// Directory listings, and copying and removing whole trees. Symbolic links are
// never followed into: a tree operation stays inside the tree it was given.
// Trailing "/" and "/." name the entry itself, so "d/link/" is the link, not
// the folder it points to; a path ending in "." or "..", and "/", name no
// entry that a tree operation may replace.
class XDirTree {
public:
    // Directories and files, without "." and "..", sorted by name ignoring case.
    // Hidden and system entries (dot-files, dangling links, sockets) only when asked.
    static QFileInfoList entries(const QString &dir, bool withHidden);

    // {"files": [...], "dirs": [...]} of the visible entries; both lists are
    // present, empty for a missing directory.
    static QVariantMap content(const QString &dir);

    // Removes dir and everything in it; a link is removed, never what it points
    // to. True when dir did not exist. Stops at the first failure.
    static bool remove(const QString &dir);

    // Replaces dst by a copy of src. Links to directories are copied as links,
    // links to files as files, dangling links are skipped. Refuses (false, and
    // touches nothing) when src is no folder that can be read, or when dst is
    // src, lies inside it or holds it. False as well when any entry could not
    // be copied.
    static bool copy(const QString &src, const QString &dst);

    // Whether one of the two paths is the other or lies inside it, after links
    // are resolved as far as the paths exist.
    static bool overlaps(const QString &a, const QString &b);

    // The path without trailing "/" and "/.".
    static QString entryPath(const QString &path);

private:
    static bool namesNoEntry(const QString &path);
    static bool copyInto(const QString &src, const QString &dst);
    static QString resolved(const QString &path);
    static bool nested(const QString &resolvedA, const QString &resolvedB);
};
