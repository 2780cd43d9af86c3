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
};
