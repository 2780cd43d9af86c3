#pragma once

#include <QIODevice>
#include <QString>

// The stdio-like mode strings a page gives fopen.
class XFileMode {
public:
    // The open mode for "r", "w", "a", "rb", "wb" and "ab" (case-sensitive,
    // whole string); false for anything else.
    static bool toOpenMode(const QString &mode, QIODevice::OpenMode *openMode);
};
