#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QLibrary;

// The libraries a window reaches through "app://call/@name/function/args..."
// links. A library is loaded once and stays loaded; a failed load is not
// remembered, so a later link tries again.
class XLibraryTable {
public:
    XLibraryTable() = default;
    XLibraryTable(const XLibraryTable &) = delete;
    XLibraryTable &operator=(const XLibraryTable &) = delete;
    ~XLibraryTable();

    // segments: "@name", the function, then its arguments. Calls
    // `QVariant function(QVariantList &)` of libs/name; false when nothing was called.
    bool call(const QStringList &segments);

    bool isLoaded(const QString &key) const { return m_libraries.contains(key); }

private:
    QLibrary *library(const QString &key);

    QMap<QString, QLibrary *> m_libraries;
};
