#include "core/xfilemode.h"

bool XFileMode::toOpenMode(const QString &mode, QIODevice::OpenMode *openMode)
{
    static const struct {
        const char *name;
        QIODevice::OpenMode mode;
    } table[] = {
        {"r", QIODevice::ReadOnly | QIODevice::Text},
        {"w", QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text},
        {"a", QIODevice::Append | QIODevice::Text},
        {"rb", QIODevice::ReadOnly},
        {"wb", QIODevice::WriteOnly | QIODevice::Truncate},
        {"ab", QIODevice::Append},
    };
    for (const auto &row : table) {
        if (mode == QLatin1String(row.name)) {
            *openMode = row.mode;
            return true;
        }
    }
    return false;
}
