#pragma once

#include <Qt>

// A window's type and caption hints, and the window flags they give.
class XWindowStyle {
public:
    enum Type { Window = 0, Dialog = 1, Popup = 2, Tool = 3, SplashScreen = 4 };

    Qt::WindowFlags flags() const;

    int type = Window;
    bool frameless = false;
    bool showTitle = true;
    bool minimizeButton = true;
    bool maximizeButton = true;
    bool closeButton = true;
    bool helpButton = false;
    bool stayOnTop = false;
    // While set, the caption fields above are not applied.
    bool defaultCaption = true;
};
