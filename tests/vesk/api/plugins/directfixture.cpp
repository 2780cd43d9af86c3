#include "veskplugin.h"

#include <QVariant>

class QWebView;

namespace {
QVariantList calls;
}

// Each call's arguments, in order.
VESK_PLUGIN_EXPORT QVariant record(QVariantList &arguments)
{
    calls << QVariant(arguments);
    return QVariant();
}

// A plug-in entry point: never a target of direct calls.
VESK_PLUGIN_EXPORT QObject *getPlugin(QWebView *)
{
    calls << QStringLiteral("getPlugin");
    return nullptr;
}

VESK_PLUGIN_EXPORT QVariant recordedCalls(QVariantList &)
{
    return calls;
}
