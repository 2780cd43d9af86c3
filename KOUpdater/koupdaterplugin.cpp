#include "koupdater.h"

VESK_PLUGIN_EXPORT QObject *getPlugin(QWebView *view)
{
    auto *updater = new KOUpdater(view);
    updater->attachToView();
    return updater;
}
