#include "web/xnotificationplugin.h"

#include "web/xnotificationpresenter.h"

#include <QtPlugin>

// moc makes this for a plug-in built into the program (QT_STATICPLUGIN).
extern const QStaticPlugin qt_static_plugin_XNotificationPlugin();

void XNotificationPlugin::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qRegisterStaticPluginFunction(qt_static_plugin_XNotificationPlugin());
}

bool XNotificationPlugin::supportsExtension(Extension extension) const
{
    return extension == Notifications;
}

QObject *XNotificationPlugin::createExtension(Extension extension) const
{
    return extension == Notifications ? new XNotificationPresenter : nullptr;
}
