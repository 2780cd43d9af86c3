#pragma once

#include <QMap>
#include <QPointer>
#include <QWidget>

// A view's embedded widgets by id, from 1 and never reused. A destroyed widget
// names nothing: the entries are guarded.
class XWidgetTable {
public:
    QWidget *widget(int id) const;
    // The widget under a new id, which is returned.
    int add(QWidget *widget);
    // Under an id handed out elsewhere (a plug-in's "widgetLastId").
    void insert(int id, QWidget *widget);
    void remove(int id);
    int lastId() const { return m_lastId; }
    void setLastId(int id);

    // The widget the page's "widget" operations act on.
    int currentId() const { return m_currentId; }
    void setCurrentId(int id) { m_currentId = id; }

private:
    QMap<int, QPointer<QWidget>> m_widgets;
    int m_lastId = 0;
    int m_currentId = 0;
};
