#pragma once

#include <QSize>
#include <QStringList>
#include <QVariant>

// One set of the service's upload restrictions, with the defaults that hold
// when the service names no value.
class XRestrictions {
public:
    enum Verdict { Accepted, TooSmall, WrongRatio };

    QStringList exts;
    qint64 maxSize = 16777216;
    int maxMpx = 24;
    int minMpx = 4;
    int minW = 1024;
    int minH = 1024;
    int maxR = 4;
    int q = 90;

    // Reads one struct of the "getRestrictions" answer; a key that is not an
    // integer keeps its default.
    static XRestrictions fromVariant(const QVariant &value);
    QVariantMap toMap() const;

    // Checks a photo's size; an accepted photo larger than maxMpx gets the
    // size to scale it to in *target (else its own size). In doubles: w * h
    // does not fit 32 bits for large panoramas.
    Verdict checkPhoto(QSize size, QSize *target) const;
    // Whether a file name's extension is allowed (an empty list allows all).
    bool allowsExtension(const QString &path) const;
};
