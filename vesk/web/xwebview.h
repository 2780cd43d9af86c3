#pragma once

#include <QWebView>

#include "web/xwidgettable.h"

#include <functional>

class XCookieJar;
class XWebPage;

// A web view with its own page and cookies. What its documents may do is
// decided by the page binding that serves it, not here.
class XWebView : public QWebView {
    Q_OBJECT

public:
    using WindowFactory = std::function<QWebView *(QWebPage::WebWindowType)>;

    explicit XWebView(QWidget *parent = nullptr);
    ~XWebView() override;

    XWebPage *xpage() const { return m_page; }
    XCookieJar *cookieJar() const { return m_cookieJar; }

    // Who makes the views that the page opens; without one the page opens none.
    void setWindowFactory(const WindowFactory &factory);

    // From now on a load that does not begin with "file:///" is stopped as it starts.
    void wireLocalOnly();
    // True when the last load was stopped by the local-only rule, which leaves
    // the previous document in place.
    bool lastLoadStopped() const { return m_lastLoadStopped; }

    // The page binding's doors, installed by the binding: how plug-ins, which
    // see only QObject, publish into the page and call back into it.
    using PublishDoor = std::function<bool(QObject *object, const QString &name)>;
    using EvaluateDoor = std::function<bool(const QString &script)>;
    void setPageDoors(const PublishDoor &publish, const EvaluateDoor &evaluate);

    // How a plug-in object made for this view reaches the page: into the
    // current document only, if it is trusted.
    Q_INVOKABLE bool publishPluginObject(QObject *object, const QString &name);
    // How a plug-in calls back: evaluated only while the document is trusted.
    Q_INVOKABLE bool evaluateTrusted(const QString &script);
    // The embedded widgets.
    XWidgetTable &widgets() { return m_widgets; }
    const XWidgetTable &widgets() const { return m_widgets; }
    // Under the next id, which is recorded in the property "widgetLastId", where
    // plug-ins read it and may move it on.
    int addWidget(QWidget *widget);

    // Who takes the local files dropped on the view anywhere but on a file
    // input, at most MaxDroppedFiles paths; while none is set every drop is the
    // engine's. Other URLs in a drop are left out.
    using FileDropHandler = std::function<void(const QStringList &paths)>;
    static constexpr int MaxDroppedFiles = 10000;
    void setFileDropHandler(const FileDropHandler &handler) { m_fileDropHandler = handler; }
    bool hasFileDropHandler() const { return bool(m_fileDropHandler); }

public Q_SLOTS:
    // Takes over the widget a plug-in left in the property "widgetObj", under "widgetLastId".
    void forward();

protected:
    QWebView *createWindow(QWebPage::WebWindowType type) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void loadingStarted();
    // Whether the handler takes this drag, rather than the engine.
    bool takesDrop(const QDropEvent *event) const;
    // The engine is told the drag left when the handler takes it over.
    void takeDragFromEngine();

    XWebPage *m_page = nullptr;
    XCookieJar *m_cookieJar = nullptr;
    WindowFactory m_windowFactory;
    PublishDoor m_publishDoor;
    EvaluateDoor m_evaluateDoor;
    bool m_localOnly = false;
    bool m_lastLoadStopped = false;
    XWidgetTable m_widgets;
    FileDropHandler m_fileDropHandler;
    bool m_engineHasDrag = false;
};
