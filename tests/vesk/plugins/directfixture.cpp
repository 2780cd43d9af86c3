#include "veskplugin.h"

#include <QVariant>

namespace {
QVariantList calls;
}

// Each call's arguments, in order.
VESK_PLUGIN_EXPORT QVariant record(QVariantList &arguments)
{
    calls << QVariant(arguments);
    return QVariant();
}

VESK_PLUGIN_EXPORT QVariant recordedCalls(QVariantList &)
{
    return calls;
}
