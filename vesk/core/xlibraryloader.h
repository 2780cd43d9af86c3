#pragma once

#include <QString>

#include <memory>

class QLibrary;

// Loads the native libraries pages name, for plug-ins and for direct calls, and
// finds their functions. A loaded library is never unloaded: code and objects
// of its may outlive the QLibrary object.
class XLibraryLoader {
public:
    // path as a page gives it ("libs/NAME", with or without the suffix), found
    // under the working directory or among the installed plug-ins; null when
    // nothing loads.
    static std::unique_ptr<QLibrary> load(const QString &path);
    // A function that the library itself defines: not one of a library it
    // depends on (the system loader looks there too), and never data. Null otherwise.
    static void *function(QLibrary &library, const QString &name);
};
