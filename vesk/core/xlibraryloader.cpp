#include "core/xlibraryloader.h"

#include "core/xpluginpath.h"
#include "platform/xplatform.h"

#include <QDir>
#include <QLibrary>

std::unique_ptr<QLibrary> XLibraryLoader::load(const QString &path)
{
    const QString file = XPluginPath::resolve(path, QDir::currentPath(), XPlatform::installedPluginDirectory());
    if (file.isEmpty())
        return nullptr;
    auto library = std::make_unique<QLibrary>(file);
    if (!library->load())
        return nullptr;
    return library;
}

void *XLibraryLoader::function(QLibrary &library, const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    void *symbol = reinterpret_cast<void *>(library.resolve(name.toLatin1().constData()));
    return XPlatform::isFunctionOf(symbol, library.fileName()) ? symbol : nullptr;
}
