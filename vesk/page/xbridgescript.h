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
    // Run after callFunctions when there is a hot object: points the API
    // object's functions of the same names at it, then takes its name away.
    static QStringList hotFunctions(const QString &objectName);
};
