#include "core/xwindowstyle.h"

Qt::WindowFlags XWindowStyle::flags() const
{
    Qt::WindowFlags f;
    switch (type) {
    case Window: f = Qt::Window; break;
    case Dialog: f = Qt::Dialog; break;
    case Popup: f = Qt::Popup; break;
    case Tool: f = Qt::Tool; break;
    case SplashScreen: f = Qt::SplashScreen; break;
    default: f = Qt::Widget; break;
    }
    if (frameless)
        f |= Qt::FramelessWindowHint;
    if (stayOnTop)
        f |= Qt::WindowStaysOnTopHint;
    if (!defaultCaption) {
        f |= Qt::CustomizeWindowHint;
        if (showTitle)
            f |= Qt::WindowTitleHint;
        if (minimizeButton)
            f |= Qt::WindowMinimizeButtonHint;
        if (maximizeButton)
            f |= Qt::WindowMaximizeButtonHint;
        if (closeButton)
            f |= Qt::WindowCloseButtonHint;
        if (helpButton)
            f |= Qt::WindowContextHelpButtonHint;
    }
    return f;
}
