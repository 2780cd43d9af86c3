#include "veskplugin.h"

#include <QLabel>
#include <QVariant>
#include <QWebView>

// Hands a native widget to the page's view, as a plug-in with a widget of its own does.
class WidgetFixture : public VESKPlugin {
    Q_OBJECT

public:
    using VESKPlugin::VESKPlugin;
    const char *scriptObjectName() const override { return "lwidget"; }

public Q_SLOTS:
    void handOver(int id)
    {
        auto *label = new QLabel(QStringLiteral("native"));
        label->setObjectName(QStringLiteral("handed"));
        view()->setProperty("widgetLastId", id);
        view()->setProperty("widgetObj", QVariant::fromValue<QObject *>(label));
        emit registerWidgetSignal();
    }
};

VESK_PLUGIN_EXPORT QObject *getPlugin(QWebView *view)
{
    auto *plugin = new WidgetFixture(view);
    plugin->attachToView();
    return plugin;
}

#include "widgetfixture.moc"
