#include "api/xjavascriptapi.h"

#include "core/xlibraryloader.h"
#include "web/xwebview.h"

#include <QLibrary>

namespace {
using GetPlugin = QObject *(*)(QWebView *);
}

void XJavaScriptAPI::loadPlugin(const QString &path)
{
    // Never unloaded: the plug-in's objects and code live as long as their views.
    const std::unique_ptr<QLibrary> library = XLibraryLoader::load(path);
    if (!library)
        return;
    auto getPlugin = reinterpret_cast<GetPlugin>(XLibraryLoader::function(*library, QStringLiteral("getPlugin")));
    if (!getPlugin)
        return;
    // The view that shows the calling page: a popup's own view for a popup.
    getPlugin(view());
}
