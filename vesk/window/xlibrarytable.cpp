#include "window/xlibrarytable.h"

#include "core/xlibraryloader.h"

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
    QLibrary *loaded = XLibraryLoader::load(QStringLiteral("libs/") + key.mid(1)).release();
    if (loaded)
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
    // getPlugin has another signature; calling it here would crash.
    if (segments.at(1) == QLatin1String("getPlugin"))
        return false;
    auto function = reinterpret_cast<DirectFunction>(XLibraryLoader::function(*lib, segments.at(1)));
    if (!function)
        return false;
    QVariantList arguments;
    for (int i = 2; i < segments.size(); ++i)
        arguments << segments.at(i);
    function(arguments);
    return true;
}
