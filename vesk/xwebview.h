#pragma once

#include <QMap>
#include <QPointer>
#include <QWebView>

#include "xapplink.h"

class XCookieJar;
class XJavaScriptAPI;
class XWebPage;
class XWidgetAPI;

class XWebView : public QWebView {
    Q_OBJECT

public:
    explicit XWebView(QWidget *owner = nullptr);

    void setInWindow(bool inWindow) { m_inWindow = inWindow; }
    bool inWindow() const { return m_inWindow; }
    QWidget *owner() const { return m_owner; }
    void setOwner(QWidget *owner) { m_owner = owner; }

    XJavaScriptAPI *api() const;
    void setApi(XJavaScriptAPI *api);
    XWidgetAPI *widgetApi() const;
    void setWidgetApi(XWidgetAPI *widgetApi);
    XWebPage *xpage() const { return m_page; }
    XCookieJar *cookieJar() const { return m_cookieJar; }
    QMap<int, QWidget *> &widgets() { return m_widgets; }

    // Whether the document now shown may use the native objects.
    bool documentTrusted() const;
    // True when the last load was stopped by the local-only rule, which leaves
    // the previous document in place.
    bool lastLoadStopped() const { return m_lastLoadStopped; }
    void wireLocalOnly();
    // Follows a clicked link: ordinary links load here, alert links show their
    // text. Returns the parsed link so a window can act on the verbs it owns.
    XAppLink followLink(const QUrl &url);

public Q_SLOTS:
    void forward();
    void loadingChanged(const QUrl &url);
    void loadingFinished(bool ok);
    void loadingStarted();

protected:
    QWebView *createWindow(QWebPage::WebWindowType type) override;

private Q_SLOTS:
    void attachPopupObjects();

private:
    bool m_inWindow = false;
    QMap<int, QWidget *> m_widgets;
    QPointer<QWidget> m_owner;
    QPointer<XJavaScriptAPI> m_api;
    QPointer<XWidgetAPI> m_widgetApi;
    XWebPage *m_page = nullptr;
    XCookieJar *m_cookieJar = nullptr;
    bool m_isPopup = false;
    bool m_loadingIndicatorAdded = false;
    bool m_localOnly = false;
    bool m_lastLoadStopped = false;
};
