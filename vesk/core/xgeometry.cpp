#include "core/xgeometry.h"

QPoint XGeometry::centred(const QRect &area, const QRect &window, bool vertically, bool horizontally)
{
    QPoint p = window.topLeft();
    if (horizontally)
        p.setX(area.x() + (area.width() - window.width()) / 2);
    if (vertically)
        p.setY(area.y() + (area.height() - window.height()) / 2);
    return p;
}
