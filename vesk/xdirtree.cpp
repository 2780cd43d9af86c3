#include "xdirtree.h"

#include "xplatform.h"

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

bool XDirTree::remove(const QString &dir)
{
    const QFileInfo top(dir);
    if (top.isSymLink())
        return QFile::remove(dir);
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

bool XDirTree::overlaps(const QString &a, const QString &b)
{
    const QString ra = resolved(a);
    const QString rb = resolved(b);
    auto inside = [](const QString &inner, const QString &outer) {
        return inner == outer || outer == QLatin1String("/") || inner.startsWith(outer + QLatin1Char('/'));
    };
    return inside(ra, rb) || inside(rb, ra);
}

bool XDirTree::copy(const QString &src, const QString &dst)
{
    if (overlaps(src, dst))
        return false;
    return copyInto(src, dst);
}

bool XDirTree::copyInto(const QString &src, const QString &dst)
{
    remove(dst);
    const QFileInfo target(dst);
    if (!target.dir().mkdir(target.fileName()))
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
            ok = copyFile(info.filePath(), to);
        if (!ok)
            return false;
    }
    return true;
}

bool XDirTree::copyFile(const QString &src, const QString &dst)
{
    return XPlatform::copyFile(src, dst);
}
