#include "window/xaction.h"

XAction::XAction(const QString &text, QObject *parent)
    : QAction(text, parent)
{
    connect(this, &QAction::triggered, this, &XAction::trig);
}

XAction::XAction(const QIcon &icon, const QString &text, QObject *parent)
    : QAction(icon, text, parent)
{
    connect(this, &QAction::triggered, this, &XAction::trig);
}

void XAction::trig()
{
    emit clickedx(m_onClick.toUtf8());
}
