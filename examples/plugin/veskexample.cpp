#include "veskexample.h"

#include "xjsliteral.h"

#include <QTimer>
#include <QVariant>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

namespace {
QStringList &remembered()
{
    static QStringList arguments;
    return arguments;
}
} // namespace

VeskExample::VeskExample(QWebView *view)
    : VESKPlugin(view)
{
}

const char *VeskExample::scriptObjectName() const
{
    return "lexample";
}

QStringList VeskExample::lastDirectCall()
{
    return remembered();
}

QString VeskExample::greet(const QString &name)
{
    return QStringLiteral("Hello, %1!").arg(name);
}

void VeskExample::greetLater(const QString &name, const QString &callback)
{
    QTimer::singleShot(0, this, [this, name, callback] {
        // The callback name as the page gave it; the data always as a literal.
        evaluateInPage(XJsLiteral::call(callback, {greet(name)}));
    });
}

QStringList VeskExample::lastCall()
{
    return remembered();
}

// The factory the host calls: build the object, then hand it to the page.
VESK_PLUGIN_EXPORT QObject *getPlugin(QWebView *view)
{
    auto *plugin = new VeskExample(view);
    plugin->attachToView();
    return plugin;
}

// Reached by <a href="app://call/@VeskExample/remember/a/b">: arguments arrive as strings.
VESK_PLUGIN_EXPORT QVariant remember(QVariantList &arguments)
{
    QStringList texts;
    for (const QVariant &argument : arguments)
        texts << argument.toString();
    remembered() = texts;
    return QVariant(texts.size());
}
