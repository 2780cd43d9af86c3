#pragma once

#include <QStringList>

// The script texts the host evaluates in a new document so that pages can call
// functions in their own, their parent's and named windows.
class XBridgeScript {
public:
    // Name under which a child window finds its parent's API object.
    static QString parentObjectName();
    // Run once on a new API object's first document.
    static QStringList loadingIndicator();
    // Run on every new document; objectName is "app" or a child window's name.
    static QStringList callFunctions(const QString &objectName, bool hasParent);
    // Where the API's busy slots are published for hotFunctions to pick up.
    static QString hotObjectName();
    // Run right after an API object and its hot object are published: makes
    // the hot object's slots the API object's functions of the same names,
    // then takes the hot object's name away.
    static QStringList hotFunctions(const QString &objectName);
    // The body of function(k, b, x) that makes k rows keyed by names from a
    // packed table (XDatabases::Table: b its cells, x its text), as the
    // engine makes them from maps: the same keys set in the same order.
    static QString rowMaker(const QStringList &names);
};
