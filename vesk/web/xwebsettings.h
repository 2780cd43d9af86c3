#pragma once

class QWebPage;

// The web engine's settings, in one place: what holds for the whole process and
// what every page gets.
class XWebSettings {
public:
    // Once at start-up, and again whenever the trusted origins change.
    static void applyGlobal();
    static void applyToPage(QWebPage *page);
};
