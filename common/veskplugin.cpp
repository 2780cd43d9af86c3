#include "veskplugin.h"

#include <QWebView>

VESKPlugin::VESKPlugin(QWebView *view)
    : QObject(view)
    , m_view(view)
{
}

VESKPlugin::~VESKPlugin() = default;

const char *VESKPlugin::scriptObjectName() const
{
    return "lplug";
}

void VESKPlugin::evaluateInPage(const QString &script) const
{
    if (m_view)
        QMetaObject::invokeMethod(m_view, "evaluateTrusted", Qt::DirectConnection, Q_ARG(QString, script));
}

void VESKPlugin::attachToView()
{
    if (!m_view)
        return;
    // Only the host puts objects into pages (it checks the document first); the
    // plug-in reaches it through the view's meta-object, so it needs no host header.
    QMetaObject::invokeMethod(m_view, "publishPluginObject", Qt::DirectConnection, Q_ARG(QObject *, this),
                              Q_ARG(QString, QString::fromLatin1(scriptObjectName())));
    // Views without widget support have no forward() slot.
    if (m_view->metaObject()->indexOfSlot("forward()") >= 0)
        connect(this, SIGNAL(registerWidgetSignal()), m_view, SLOT(forward()));
}
