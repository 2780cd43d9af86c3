#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QWebFrame>

#include "xwindowstyle.h"

class Vesk;
class XJavaScriptAPI;
class XWebView;
class XWidgetAPI;

// A native top-level window showing one page, with the page's API objects.
class XWebWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit XWebWindow(XWebWindow *parentWindow = nullptr, bool modal = false);

    // "/page.html" from the application directory, "page.html" from the base directory.
    void load(const QString &file);
    // The page shown when the application's start page does not exist.
    void showMissingApplication(const QString &path);

    XWebView *view() const { return m_view; }
    QWebFrame *mainFrame() const;
    XJavaScriptAPI *api() const { return m_api; }
    XWidgetAPI *widgetApi() const { return m_widgetApi; }
    XWebWindow *parentWindow() const;
    Vesk *application() const { return m_application; }
    void setApplication(Vesk *application) { m_application = application; }
    QString applicationDirectory() const { return m_applicationDirectory; }
    QString baseDirectory() const { return m_baseDirectory; }
    const XWindowStyle &initialStyle() const { return m_style; }
    WId nativeHandle() const { return m_nativeHandle; }
    // Whether any load of the main frame has finished yet, well or not.
    bool loadHasFinished() const { return m_loadHasFinished; }

    void enableMenuBar();
    void disableMenuBar();
    void clearMenuBar();

public Q_SLOTS:
    void linkClicked(const QUrl &url);
    void attachObject();
    void menuTriggered(char *name);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    XWindowStyle m_style;
    Vesk *m_application = nullptr;
    QString m_applicationDirectory;
    QString m_baseDirectory;
    XWebView *m_view = nullptr;
    QPointer<QWebFrame> m_mainFrame;
    XJavaScriptAPI *m_api = nullptr;
    XWidgetAPI *m_widgetApi = nullptr;
    WId m_nativeHandle = 0;
    // Whether the document now shown came from a finished load: a window whose
    // page never loaded has nobody to ask about closing.
    bool m_pageLoaded = false;
    bool m_loadHasFinished = false;
};
