#include "xwebpluginfactory.h"

#include "xwebview.h"

XWebPluginFactory::XWebPluginFactory(XWebView *view)
    : QWebPluginFactory(view)
    , m_view(view)
{
}

QList<QWebPluginFactory::Plugin> XWebPluginFactory::plugins() const
{
    MimeType mime;
    mime.name = QStringLiteral("vesk/widget");
    mime.description = QStringLiteral("vesk widget");
    Plugin plugin;
    plugin.name = QStringLiteral("vesk widget");
    plugin.mimeTypes << mime;
    return {plugin};
}

QObject *XWebPluginFactory::create(const QString &, const QUrl &, const QStringList &, const QStringList &) const
{
    // Widgets are placed by the widget operations; until one exists there is nothing to embed.
    return nullptr;
}
