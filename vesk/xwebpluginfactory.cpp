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
    mime.description = QStringLiteral("VESK widget");
    Plugin plugin;
    plugin.name = QStringLiteral("VESK widget");
    plugin.description = QStringLiteral("VESK widget");
    plugin.mimeTypes << mime;
    return {plugin};
}

QObject *XWebPluginFactory::create(const QString &mimeType, const QUrl &, const QStringList &argumentNames,
                                   const QStringList &argumentValues) const
{
    QString widgetId;
    int width = 0;
    int height = 0;
    for (int i = 0; i < argumentNames.size() && i < argumentValues.size(); ++i) {
        const QString &name = argumentNames.at(i);
        if (name == QLatin1String("widgetid"))
            widgetId = argumentValues.at(i);
        else if (name == QLatin1String("width"))
            width = argumentValues.at(i).toInt();
        else if (name == QLatin1String("height"))
            height = argumentValues.at(i).toInt();
    }
    if (mimeType != QLatin1String("vesk/widget"))
        return nullptr;
    bool ok = false;
    const int id = widgetId.toInt(&ok);
    if (!ok)
        return nullptr;
    QWidget *widget = m_view->widget(id);
    if (!widget)
        return nullptr;
    if (width > 0)
        widget->setFixedWidth(width);
    if (height > 0)
        widget->setFixedHeight(height);
    return widget;
}
