#pragma once

#include <QPoint>
#include <QRect>

class XGeometry {
public:
    // Where a window of the given frame goes when centred over area along the
    // chosen axes; the other axis keeps its current position.
    static QPoint centred(const QRect &area, const QRect &window, bool vertically, bool horizontally);
};
