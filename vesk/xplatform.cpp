#include "xplatform.h"

QString XPlatform::applicationDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".\\app");
#else
    return QStringLiteral("app");
#endif
}
