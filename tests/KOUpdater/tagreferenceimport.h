#pragma once

#include <QString>

// The import as the dictionary format was first processed: statement text built
// from the fields, one SELECT per record, no transaction. For well-formed
// dictionaries without quotes in AdjacentTags its outcome is the one the
// library must reproduce.
class TagReferenceImport {
public:
    static void run(const QString &pathDb, const QString &path);
};
