#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

class QWebFrame;
class QWidget;

#include "xwindowstyle.h"

class XDownloader;
class XPageBinding;
class XWebView;
class XWebWindow;

// The object every page sees as "app". One QObject, since its slots are the
// JavaScript contract; the definitions are split by concern across
// xjavascriptapi_<concern>.cpp.
class XJavaScriptAPI : public QObject {
    Q_OBJECT

public:
    // The binding publishes the object and owns it; through it the object finds
    // its frame, its view and the window it acts on.
    explicit XJavaScriptAPI(XPageBinding *binding);

    XWebWindow *window() const;
    QWebFrame *frame() const;
    const XWindowStyle &style() const { return m_style; }
    QString openingTitle() const { return m_openingTitle; }
    int openingWidth() const { return m_openingWidth; }
    int openingHeight() const { return m_openingHeight; }

public Q_SLOTS:
    // Window table and windows
    int setActiveWindow(int window);
    int newTopWindow(const QString &url, const QString &name = QString());
    void alert(const QStringList &list);
    void alert(const QString &string);
    void load(const QString &file);
    void setWindowTitle(const QString &title);
    QString getWindowTitle();
    void setWindowMaximized(bool maximized);
    void setWindowMinimized(bool minimized);
    void showWindow();
    void hideWindow();
    void closeWindow();
    void setWindowWidth(int width);
    void setWindowHeight(int height);
    void setWindowSize(int width, int height);
    void setWindowIcon(const QString &file);
    void setWindowModal(bool modal);
    void setWindowPosition(int x, int y);
    int getWindowPositionX();
    int getWindowPositionY();
    int getWindowWidth();
    int getWindowHeight();
    bool isWindowModal();
    bool isWindowMaximized();
    bool isWindowMinimized();
    void centerWindowPosition(bool vertically, bool horizontally);
    void centerWindowPositionAccordingParent(bool vertically, bool horizontally);

    // Page and frames
    void setLocalOnly();
    void iframeFakeTop(const QString &id);
    void iframeAutoloadImages(const QString &id, bool enabled);
    void render();
    void reload();
    void _setOpeningWindowProperties(const QString &title, int width, int height);
    void selectInputFile(const QString &query, const QString &file = QString(), const QString &iframe = QString());

    // Window style
    void setWindowTypeWindow();
    void setWindowTypeDialog();
    void setWindowTypePopup();
    void setWindowTypeTool();
    void setWindowTypeSplashScreen();
    void setWindowHintFrameless(bool is);
    void setWindowHintShowCaption(bool show, bool isMinimize = true, bool isMaximize = true, bool isClose = true,
                                  bool isHelp = false);
    void setWindowHintOnTop(bool is);

    // Bridge
    QVariant _call(const QVariantList &vars, int leaveFirstVars = 0);
    QString _getWindowPointer(const QString &name);
    void js(const QString &string);

    // Processes
    void exit(int code = 0);

    // Downloads, cookies and widgets
    void _download(const QString &url, const QString &path, const QString &func_pointer,
                   const QString &func_pointer_err, const QString &func_progress = QString());
    QVariantList getAllCookies();
    void setAllCookies(const QVariant &cookies);
    int createWidgetIframe(const QString &file, int w = 100, int h = 100, bool isTransparent = false);
    void switchWidget(int widgetId);
    void _iframeLoaded(const QString &id, const QString &ptr);
    void onIframeLoaded(bool ok);
    void onIframeUrlChanged();

private:
    XWebWindow *activeWindow() const;
    XWebView *view() const;
    QWidget *owner() const;
    QWebFrame *childFrame(const QString &name) const;
    void setWindowType(int type);
    void applyStyle();
    void showInfo(const QString &text);

    XPageBinding *m_binding = nullptr;
    XWindowStyle m_style;
    QMap<QString, QPointer<XWebWindow>> m_namedWindows;
    bool m_wasMaximized = false;
    QString m_openingTitle;
    int m_openingWidth = 0;
    int m_openingHeight = 0;
    QMap<int, QPointer<XWebWindow>> m_windows;
    int m_windowCounter = 0;
    int m_activeWindowId = 0;

    // Downloads, cookies and widgets
    XDownloader *downloader();
    XDownloader *m_downloader = nullptr;
};
