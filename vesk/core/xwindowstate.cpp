#include "core/xwindowstate.h"

#include "platform/xplatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace {

bool toWhole(const QJsonValue &value, int low, int high, int *out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < low || number > high)
        return false;
    *out = int(number);
    return true;
}

// Moves the rectangle by as little as it takes to lie inside the area.
QRect movedInside(QRect rect, const QRect &area)
{
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.bottom() > area.bottom())
        rect.moveBottom(area.bottom());
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (rect.top() < area.top())
        rect.moveTop(area.top());
    return rect;
}

QSize cutTo(const QSize &size, const QRect &area)
{
    return size.boundedTo(area.size());
}

} // namespace

XWindowState::XWindowState(const QRect &geometry, bool maximized)
    : m_geometry(geometry)
    , m_maximized(maximized)
    , m_valid(geometry.width() >= MinSide && geometry.height() >= MinSide)
{
}

bool XWindowState::parse(const QByteArray &json)
{
    *this = XWindowState();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    if (!toWhole(object.value(QStringLiteral("x")), -MaxCoordinate, MaxCoordinate, &x)
        || !toWhole(object.value(QStringLiteral("y")), -MaxCoordinate, MaxCoordinate, &y)
        || !toWhole(object.value(QStringLiteral("width")), MinSide, MaxSide, &width)
        || !toWhole(object.value(QStringLiteral("height")), MinSide, MaxSide, &height))
        return false;
    const QJsonValue maximized = object.value(QStringLiteral("maximized"));
    if (!maximized.isBool())
        return false;
    m_geometry = QRect(x, y, width, height);
    m_maximized = maximized.toBool();
    m_valid = true;
    return true;
}

QByteArray XWindowState::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("x"), m_geometry.x());
    object.insert(QStringLiteral("y"), m_geometry.y());
    object.insert(QStringLiteral("width"), m_geometry.width());
    object.insert(QStringLiteral("height"), m_geometry.height());
    object.insert(QStringLiteral("maximized"), m_maximized);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool XWindowState::load(const QString &file)
{
    *this = XWindowState();
    QFile f;
    if (!XPlatform::openRegular(&f, file, QIODevice::ReadOnly))
        return false;
    const QByteArray data = f.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize)
        return false;
    return parse(data);
}

bool XWindowState::save(const QString &file) const
{
    if (!m_valid || !QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = toJson();
    if (out.write(data) != data.size())
        return false;
    return out.commit();
}

QRect XWindowState::placedOn(const QList<QRect> &screens, bool *positionKept) const
{
    if (positionKept)
        *positionKept = true;
    if (screens.isEmpty())
        return m_geometry;
    // The screen holding most of the window, if enough of it to reach.
    const QRect *best = nullptr;
    qint64 bestArea = 0;
    for (const QRect &screen : screens) {
        const QRect common = screen.intersected(m_geometry);
        const qint64 area = qint64(common.width()) * common.height();
        const bool reachable = common.width() >= qMin(MinVisible, m_geometry.width())
            && common.height() >= qMin(MinVisible, m_geometry.height());
        if (reachable && area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    if (best)
        return movedInside(QRect(m_geometry.topLeft(), cutTo(m_geometry.size(), *best)), *best);
    if (positionKept)
        *positionKept = false;
    const QRect &primary = screens.first();
    QRect placed(QPoint(), cutTo(m_geometry.size(), primary));
    placed.moveCenter(primary.center());
    return placed;
}
