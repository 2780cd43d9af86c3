#include "api/xwidgetapi.h"

#include "web/xwebview.h"

XWidgetAPI::XWidgetAPI(XWebView *view, QObject *parent)
    : QObject(parent)
    , m_view(view)
{
}

QWidget *XWidgetAPI::current() const
{
    return m_view ? m_view->widgets().widget(m_view->widgets().currentId()) : nullptr;
}

void XWidgetAPI::show()
{
    if (QWidget *w = current())
        w->show();
}

void XWidgetAPI::hide()
{
    if (QWidget *w = current())
        w->hide();
}

void XWidgetAPI::setWidth(int w)
{
    if (QWidget *widget = current())
        widget->setFixedWidth(w);
}

void XWidgetAPI::setHeight(int h)
{
    if (QWidget *widget = current())
        widget->setFixedHeight(h);
}

void XWidgetAPI::setSize(int w, int h)
{
    if (QWidget *widget = current())
        widget->setFixedSize(w, h);
}

int XWidgetAPI::getWidth()
{
    QWidget *w = current();
    return w ? w->width() : 0;
}

int XWidgetAPI::getHeight()
{
    QWidget *w = current();
    return w ? w->height() : 0;
}

int XWidgetAPI::getX()
{
    QWidget *w = current();
    return w ? w->x() : 0;
}

int XWidgetAPI::getY()
{
    QWidget *w = current();
    return w ? w->y() : 0;
}

void XWidgetAPI::setX(int x)
{
    if (QWidget *w = current())
        w->move(x, w->y());
}

void XWidgetAPI::setY(int y)
{
    if (QWidget *w = current())
        w->move(w->x(), y);
}

void XWidgetAPI::setPosition(int x, int y)
{
    if (QWidget *w = current())
        w->move(x, y);
}

void XWidgetAPI::remove()
{
    QWidget *w = current();
    if (!w)
        return;
    // The id names nothing from now on; the widget goes once control is back
    // in the event loop, so no caller up the stack holds a dead pointer.
    m_view->widgets().remove(m_view->widgets().currentId());
    w->hide();
    w->deleteLater();
}
