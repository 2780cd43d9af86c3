#include "web/xwebpluginfactory.h"

#include "web/xwebpage.h"
#include "web/xwebview.h"
#include "web/xwidgetembed.h"

#include <QWebElement>
#include <QWebFrame>

namespace {

bool sameId(const QString &text, int id)
{
    bool ok = false;
    return text.trimmed().toInt(&ok) == id && ok;
}

bool asksFor(const QWebElement &element, int id)
{
    if (element.attribute(QStringLiteral("type")).trimmed().compare(QLatin1String("vesk/widget"), Qt::CaseInsensitive))
        return false;
    if (sameId(element.attribute(QStringLiteral("widgetid")), id))
        return true;
    const QWebElementCollection params = element.findAll(QStringLiteral("param"));
    for (const QWebElement &param : params) {
        if (param.attribute(QStringLiteral("name")) == QLatin1String("widgetid")
            && sameId(param.attribute(QStringLiteral("value")), id))
            return true;
    }
    return false;
}

} // namespace

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
    QWidget *widget = m_view->widgets().widget(id);
    if (!widget)
        return nullptr;
    bool found = false;
    if (!onlyTrustedAsk(m_view->page()->mainFrame(), id, &found) || !found)
        return nullptr;
    if (width > 0)
        widget->setFixedWidth(width);
    if (height > 0)
        widget->setFixedHeight(height);
    return new XWidgetEmbed(widget);
}

bool XWebPluginFactory::onlyTrustedAsk(QWebFrame *frame, int id, bool *found) const
{
    // The engine does not say which frame asks for a plug-in, so the widget is
    // given only when every element that asks for it lies in a frame that the
    // application trusts, with every frame above it.
    bool asks = false;
    const QWebElementCollection elements = frame->findAllElements(QStringLiteral("object, embed"));
    for (const QWebElement &element : elements)
        asks = asks || asksFor(element, id);
    if (asks) {
        if (!m_view->xpage()->isFrameChainTrusted(frame))
            return false;
        *found = true;
    }
    const auto children = frame->childFrames();
    for (QWebFrame *child : children) {
        if (!onlyTrustedAsk(child, id, found))
            return false;
    }
    return true;
}
