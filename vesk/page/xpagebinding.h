#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <QWebPage>

#include "core/xapplink.h"

#include <functional>

class QWebFrame;
class QWebView;
class XWebView;

// Serves one view's main frame: creates the page's API objects and owns them,
// and on every new document asks the trust policy, then publishes the objects
// and the bridge scripts, or takes away whatever an earlier document was given.
// Nothing else puts native objects into pages.
class XPageBinding : public QObject {
    Q_OBJECT

public:
    enum Role {
        // The main page of an XWebWindow.
        WindowPage,
        // A page opened by a trusted page, in a view of its own.
        PopupPage,
        // Gets no native objects and opens no windows: popups of untrusted documents.
        BarePage,
    };

    // The page's API objects are defined above this layer, which installs the
    // maker once (vesk's start-up and the test harness do): it makes them for a
    // new binding and hands them over with setObjects.
    using ObjectMaker = std::function<void(XPageBinding *binding)>;
    static void setObjectMaker(const ObjectMaker &maker);

    // window: where the window operations act (a popup's is its opener's window).
    // ownName: the name under which the page finds its own API object ("app", or
    // a child window's object name). The binding becomes a child of the view.
    XPageBinding(XWebView *view, QWidget *window, Role role, const QString &ownName);

    // The binding that serves the view, if any.
    static XPageBinding *of(const QWebView *view);

    // Owned by the binding from now on. hot: the API's busiest slots on an
    // object of their own, wired into the API object wherever that is published.
    void setObjects(QObject *api, QObject *widgetApi, QObject *hot = nullptr);

    XWebView *view() const { return m_view; }
    QWebFrame *frame() const;
    QWidget *window() const;
    QObject *apiObject() const { return m_api; }
    QObject *widgetObject() const { return m_widgetApi; }
    // The widget dialogs belong to and repaints go to: the window, or the popup's view.
    QWidget *ownerWidget() const;
    Role role() const { return m_role; }

    // Whether the document now shown may use the native objects.
    bool documentTrusted() const;

    // How native code calls back into the page: evaluated in the frame, result
    // dropped, only while the document is trusted. Work that ends after the page
    // has moved on to a remote document reaches nobody. The script's value is
    // put in result when one is asked for.
    bool evaluateTrusted(const QString &script, QVariant *result = nullptr);

    // Published as name into this document and every later trusted one.
    void publishAlways(const QString &name, QObject *object);
    // Published as name into this document only, if it is trusted.
    void publishOnce(const QString &name, QObject *object);

    // Ordinary links load in the view; app:// links act only for trusted
    // documents. Returns the parsed link, so a window can act on the verbs it owns.
    XAppLink followLink(const QUrl &url);
    // What app:// verbs do: alert is the API object's, call the window's.
    using LinkAction = std::function<void(const QStringList &arguments)>;
    void setAlertAction(const LinkAction &action) { m_alertAction = action; }
    void setCallAction(const LinkAction &action) { m_callAction = action; }

    // Title and size of the page's later popups (0 keeps the engine's size).
    void setOpeningProperties(const QString &title, int width, int height);

private:
    void documentCleared();
    bool allFramesTrusted(QWebFrame *frame) const;
    void publish(const QString &name, QObject *object);
    void evaluate(const QStringList &texts);
    void withdrawAll();
    QWebView *createPopup(QWebPage::WebWindowType type);

    XWebView *m_view = nullptr;
    QPointer<QWidget> m_window;
    Role m_role;
    QString m_ownName;
    QObject *m_api = nullptr;
    QObject *m_widgetApi = nullptr;
    QObject *m_hot = nullptr;
    LinkAction m_alertAction;
    LinkAction m_callAction;
    QString m_openingTitle;
    int m_openingWidth = 0;
    int m_openingHeight = 0;
    QMap<QString, QPointer<QObject>> m_always;
    // Names the current document was given, so they can be taken back.
    QSet<QString> m_published;
    bool m_loadingIndicatorSet = false;
};
