#pragma once

#include <QObject>
#include <QPointer>

class XWebView;

// The page's "widget" object: moves, sizes and shows the view's embedded widget
// chosen by switchWidget. Without a widget under that id nothing happens and
// the getters answer 0.
class XWidgetAPI : public QObject {
    Q_OBJECT

public:
    XWidgetAPI(XWebView *view, QObject *parent);

    XWebView *view() const { return m_view; }

public Q_SLOTS:
    void show();
    void hide();
    void setWidth(int w);
    void setHeight(int h);
    void setSize(int w, int h);
    int getWidth();
    int getHeight();
    int getX();
    int getY();
    void setX(int x);
    void setY(int y);
    void setPosition(int x, int y);
    void remove();

private:
    QWidget *current() const;

    QPointer<XWebView> m_view;
};
