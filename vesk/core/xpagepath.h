#pragma once

#include <QString>
#include <QUrl>

// Where a page path given to a window's load operation points: "/page.html" is
// taken from the application directory, "page.html" from the base directory.
class XPagePath {
public:
    static QString resolve(const QString &applicationDirectory, const QString &baseDirectory, const QString &file);
    static QUrl toUrl(const QString &applicationDirectory, const QString &baseDirectory, const QString &file);
};
