#pragma once

#include <QObject>
#include <QPointer>

class XWebView;

// The page's "widget" object: moves, sizes and shows the view's embedded widgets.
class XWidgetAPI : public QObject {
    Q_OBJECT

public:
    XWidgetAPI(XWebView *view, QObject *parent);

    XWebView *view() const { return m_view; }

private:
    QPointer<XWebView> m_view;
};
