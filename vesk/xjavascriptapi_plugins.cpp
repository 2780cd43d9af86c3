#include "xjavascriptapi.h"

#include "xpagebinding.h"
#include "xplatform.h"
#include "xpluginpath.h"
#include "xwebview.h"

#include <QDir>
#include <QLibrary>

namespace {
using GetPlugin = QObject *(*)(QWebView *);
}

void XJavaScriptAPI::loadPlugin(const QString &path)
{
    const QString file = XPluginPath::resolve(path, QDir::currentPath(), XPlatform::installedPluginDirectory());
    if (file.isEmpty())
        return;
    // Never unloaded: the plug-in's objects and code live as long as their views.
    QLibrary library(file);
    if (!library.load())
        return;
    auto getPlugin = reinterpret_cast<GetPlugin>(library.resolve("getPlugin"));
    if (!getPlugin)
        return;
    // The view that shows the calling page: a popup's own view for a popup.
    getPlugin(view());
}
