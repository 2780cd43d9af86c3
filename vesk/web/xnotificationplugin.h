#pragma once

#include <QObject>
#include <QWebKitPlatformPlugin>

// The engine asks its platform plug-in for a presenter per Notification a page
// makes; the host's is built in and registered before the first page, and offers
// nothing else, so the engine keeps its own select popups and the rest.
class XNotificationPlugin : public QObject, public QWebKitPlatformPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.WebKit.PlatformPlugin/1.9")
    Q_INTERFACES(QWebKitPlatformPlugin)

public:
    // Registers the plug-in once; later calls do nothing.
    static void install();

    bool supportsExtension(Extension extension) const override;
    QObject *createExtension(Extension extension) const override;
};
