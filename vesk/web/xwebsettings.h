#pragma once

#include <QtGlobal>

class QString;
class QWebPage;

// The web engine's settings, in one place: what holds for the whole process and
// what every page gets.
class XWebSettings {
public:
    // Once at start-up, and again whenever the trusted origins change.
    static void applyGlobal();
    static void applyToPage(QWebPage *page);
    // Web Storage, the engine's SQL databases and its application cache, kept in
    // folder across runs. Before the first page is made.
    static void enablePersistentStorage(const QString &folder);
    // What openDatabase may grow to per origin.
    static constexpr qint64 DatabaseQuota = 50 * 1024 * 1024;
};
