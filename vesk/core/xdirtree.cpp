#include "core/xdirtree.h"

#include "platform/xplatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QFileInfoList XDirTree::entries(const QString &dir, bool withHidden)
{
    QDir::Filters filters = QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot;
    if (withHidden)
        filters |= QDir::Hidden | QDir::System;
    return QDir(dir).entryInfoList(filters, QDir::Name | QDir::IgnoreCase);
}

QVariantMap XDirTree::content(const QString &dir)
{
    QStringList files;
    QStringList dirs;
    const QFileInfoList list = entries(dir, false);
    for (const QFileInfo &info : list) {
        if (info.isDir())
            dirs << info.fileName();
        else if (info.isFile())
            files << info.fileName();
    }
    QVariantMap map;
    map.insert(QStringLiteral("files"), files);
    map.insert(QStringLiteral("dirs"), dirs);
    return map;
}

QString XDirTree::entryPath(const QString &path)
{
    QString entry = path;
    for (;;) {
        if (entry.size() > 1 && entry.endsWith(QLatin1Char('/')))
            entry.chop(1);
        else if (entry.size() > 2 && entry.endsWith(QLatin1String("/.")))
            entry.chop(2);
        else
            return entry;
    }
}

bool XDirTree::namesNoEntry(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return path == QLatin1String("/") || name == QLatin1String(".") || name == QLatin1String("..");
}

bool XDirTree::remove(const QString &dir)
{
    const QString path = entryPath(dir);
    if (path.isEmpty())
        return true;
    if (namesNoEntry(path))
        return false;
    const QFileInfo top(path);
    if (top.isSymLink())
        return QFile::remove(path);
    if (!top.isDir())
        return true;
    const QFileInfoList list = entries(dir, true);
    for (const QFileInfo &info : list) {
        const QString path = info.filePath();
        const bool ok = (info.isDir() && !info.isSymLink()) ? remove(path) : QFile::remove(path);
        if (!ok)
            return false;
    }
    return top.dir().rmdir(top.fileName());
}

QString XDirTree::resolved(const QString &path)
{
    // The deepest part that exists is resolved through its links; the rest is appended as written.
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList rest;
    while (!QFileInfo::exists(existing)) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0) {
            rest.prepend(existing.mid(slash + 1));
            existing = QStringLiteral("/");
            break;
        }
        rest.prepend(existing.mid(slash + 1));
        existing = existing.left(slash);
    }
    QString result = QFileInfo(existing).canonicalFilePath();
    if (result.isEmpty())
        result = existing;
    for (const QString &part : qAsConst(rest)) {
        if (!result.endsWith(QLatin1Char('/')))
            result += QLatin1Char('/');
        result += part;
    }
    return result;
}

bool XDirTree::nested(const QString &ra, const QString &rb)
{
    auto inside = [](const QString &inner, const QString &outer) {
        return inner == outer || outer == QLatin1String("/") || inner.startsWith(outer + QLatin1Char('/'));
    };
    return inside(ra, rb) || inside(rb, ra);
}

bool XDirTree::overlaps(const QString &a, const QString &b)
{
    return nested(resolved(a), resolved(b));
}

bool XDirTree::copy(const QString &src, const QString &dst)
{
    const QString from = entryPath(src);
    const QString to = entryPath(dst);
    if (to.isEmpty() || namesNoEntry(to))
        return false;
    // Checked before dst is touched: a missing or unreadable source must not cost the destination.
    const QFileInfo source(from);
    if (!source.isDir() || !XPlatform::canList(from))
        return false;
    // dst itself is replaced, never followed: only the folder it lies in is resolved.
    const QFileInfo target(to);
    QString resolvedTo = resolved(target.absolutePath());
    if (!resolvedTo.endsWith(QLatin1Char('/')))
        resolvedTo += QLatin1Char('/');
    if (nested(resolved(from), resolvedTo + target.fileName()))
        return false;
    return copyInto(from, to);
}

bool XDirTree::copyInto(const QString &src, const QString &dst)
{
    remove(dst);
    const QFileInfo target(dst);
    if (!XPlatform::canList(src) || !target.dir().mkdir(target.fileName()))
        return false;
    const QFileInfoList list = entries(src, true);
    for (const QFileInfo &info : list) {
        const QString to = dst + QLatin1Char('/') + info.fileName();
        bool ok = true;
        if (info.isSymLink() && info.isDir())
            ok = XPlatform::copyLink(info.filePath(), to);
        else if (info.isDir())
            ok = copyInto(info.filePath(), to);
        else if (info.isFile())
            ok = XPlatform::copyFile(info.filePath(), to);
        if (!ok)
            return false;
    }
    return true;
}
