#include "korvalenuploader.h"

VESK_PLUGIN_EXPORT QObject *getPlugin(QWebView *view)
{
    auto *uploader = new KorvalenUploader(view);
    uploader->attachToView();
    return uploader;
}
