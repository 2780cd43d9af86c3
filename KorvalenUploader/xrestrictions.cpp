#include "xrestrictions.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

static void readInt(const QVariantMap &map, const char *key, int *field)
{
    const QVariant value = map.value(QLatin1String(key));
    if (value.userType() == QMetaType::Int)
        *field = value.toInt();
}

XRestrictions XRestrictions::fromVariant(const QVariant &value)
{
    XRestrictions r;
    const QVariantMap map = value.toMap();
    const QVariant exts = map.value(QStringLiteral("exts"));
    if (exts.userType() == QMetaType::QString) {
        for (const QString &ext : exts.toString().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString clean = ext.trimmed().toLower();
            if (!clean.isEmpty())
                r.exts << (clean.startsWith(QLatin1Char('.')) ? clean.mid(1) : clean);
        }
    }
    const QVariant maxSize = map.value(QStringLiteral("max_size"));
    if (maxSize.userType() == QMetaType::Int || maxSize.userType() == QMetaType::LongLong)
        r.maxSize = maxSize.toLongLong();
    readInt(map, "max_mpx", &r.maxMpx);
    readInt(map, "min_mpx", &r.minMpx);
    readInt(map, "min_w", &r.minW);
    readInt(map, "min_h", &r.minH);
    readInt(map, "max_r", &r.maxR);
    readInt(map, "q", &r.q);
    return r;
}

QVariantMap XRestrictions::toMap() const
{
    return {{QStringLiteral("exts"), exts},      {QStringLiteral("max_size"), double(maxSize)},
            {QStringLiteral("max_mpx"), maxMpx}, {QStringLiteral("min_mpx"), minMpx},
            {QStringLiteral("min_w"), minW},     {QStringLiteral("min_h"), minH},
            {QStringLiteral("max_r"), maxR},     {QStringLiteral("q"), q}};
}

XRestrictions::Verdict XRestrictions::checkPhoto(QSize size, QSize *target) const
{
    const double w = size.width();
    const double h = size.height();
    const double mpx = w * h / 1000000.0;
    *target = size;
    if (mpx < minMpx || w < minW || h < minH || w <= 0 || h <= 0)
        return TooSmall;
    if (std::max(w, h) / std::min(w, h) > maxR)
        return WrongRatio;
    if (mpx > maxMpx) {
        const double newH = std::round(std::sqrt((maxMpx - 1) * 1000000.0 / (w * h)) * h);
        const double newW = std::round(newH * w / h);
        *target = QSize(int(newW), int(newH));
    }
    return Accepted;
}

bool XRestrictions::allowsExtension(const QString &path) const
{
    return exts.isEmpty() || exts.contains(QFileInfo(path).suffix().toLower());
}
