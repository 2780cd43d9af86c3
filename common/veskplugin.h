#pragma once

#include <QObject>

class QWebView;

// Marks what a plug-in library exports: getPlugin and functions reached by
// "app://call/@library/function/..." links, `QVariant function(QVariantList &)`.
#define VESK_PLUGIN_EXPORT extern "C" Q_DECL_EXPORT

// Base of every plug-in object. A plug-in library exports
//   extern "C" QObject *getPlugin(QWebView *view)
// which constructs its object with the calling page's view and then calls
// attachToView(). The object is a child of that view and dies with it.
class VESKPlugin : public QObject {
    Q_OBJECT

public:
    explicit VESKPlugin(QWebView *view);
    ~VESKPlugin() override;

    // The name under which the page finds the object; ASCII.
    virtual const char *scriptObjectName() const;

    // Hands the object to the page it was made for; called once, after the
    // derived constructor, so that its scriptObjectName() is in force. The host
    // decides whether the document may see native objects.
    void attachToView();

    QWebView *view() const { return m_view; }

protected:
    // Evaluates script in the page's main frame, result dropped, but only while
    // the document there is one the host trusts: a call back that arrives after the
    // page has moved on to a remote document reaches nobody.
    void evaluateInPage(const QString &script) const;

Q_SIGNALS:
    // Emitted after setting the view's properties "widgetObj" and "widgetLastId",
    // to hand a native widget to the view.
    void registerWidgetSignal();

private:
    QWebView *m_view = nullptr;
};
