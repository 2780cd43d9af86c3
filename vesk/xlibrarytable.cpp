#include "xlibrarytable.h"

#include "xplatform.h"
#include "xpluginpath.h"

#include <QDir>
#include <QLibrary>
#include <QVariant>

namespace {
using DirectFunction = QVariant (*)(QVariantList &);
}

XLibraryTable::~XLibraryTable()
{
    // The objects go, the libraries stay: code of theirs may still be referenced.
    qDeleteAll(m_libraries);
}

QLibrary *XLibraryTable::library(const QString &key)
{
    if (QLibrary *known = m_libraries.value(key))
        return known;
    const QString file = XPluginPath::resolve(QStringLiteral("libs/") + key.mid(1), QDir::currentPath(),
                                              XPlatform::installedPluginDirectory());
    if (file.isEmpty())
        return nullptr;
    auto *loaded = new QLibrary(file);
    if (!loaded->load()) {
        delete loaded;
        return nullptr;
    }
    m_libraries.insert(key, loaded);
    return loaded;
}

bool XLibraryTable::call(const QStringList &segments)
{
    if (segments.size() < 2 || !segments.first().startsWith(QLatin1Char('@')) || segments.first().size() < 2)
        return false;
    QLibrary *lib = library(segments.first());
    if (!lib)
        return false;
    const QString name = segments.at(1);
    // getPlugin has another signature; calling it here would crash.
    if (name.isEmpty() || name == QLatin1String("getPlugin"))
        return false;
    void *symbol = reinterpret_cast<void *>(lib->resolve(name.toLatin1().constData()));
    // The loader also finds what the library's dependencies define (abort, say).
    if (!XPlatform::isFunctionOf(symbol, lib->fileName()))
        return false;
    auto function = reinterpret_cast<DirectFunction>(symbol);
    QVariantList arguments;
    for (int i = 2; i < segments.size(); ++i)
        arguments << segments.at(i);
    function(arguments);
    return true;
}
