#include "web/xwidgettable.h"

QWidget *XWidgetTable::widget(int id) const
{
    return m_widgets.value(id);
}

int XWidgetTable::add(QWidget *widget)
{
    m_widgets.insert(++m_lastId, widget);
    return m_lastId;
}

void XWidgetTable::insert(int id, QWidget *widget)
{
    m_widgets.insert(id, widget);
}

void XWidgetTable::remove(int id)
{
    m_widgets.remove(id);
}

void XWidgetTable::setLastId(int id)
{
    m_lastId = id;
}
