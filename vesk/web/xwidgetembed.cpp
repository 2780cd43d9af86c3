#include "web/xwidgetembed.h"

#include <QEvent>
#include <QHash>

namespace {
// Which stand-in a widget follows: the newest element that asked for it.
QHash<const QWidget *, XWidgetEmbed *> &holders()
{
    static QHash<const QWidget *, XWidgetEmbed *> table;
    return table;
}
} // namespace

XWidgetEmbed::XWidgetEmbed(QWidget *content)
    : m_content(content)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    holders().insert(content, this);
    QObject::connect(content, &QObject::destroyed, this, [this, content] {
        if (holders().value(content) == this)
            holders().remove(content);
    });
    content->hide();
}

XWidgetEmbed::~XWidgetEmbed()
{
    release();
}

XWidgetEmbed *XWidgetEmbed::holding(const QWidget *content)
{
    return holders().value(content);
}

int XWidgetEmbed::qt_metacall(QMetaObject::Call, int, void **)
{
    // Scripts reach the stand-in's slots and properties through here.
    return -1;
}

bool XWidgetEmbed::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DeferredDelete:
        // The engine lets go of the element with deleteLater but may still hold
        // the pointer; the widget goes back to the view and the stand-in stays,
        // empty and hidden, until the view goes.
        release();
        hide();
        return true;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Paint:
    case QEvent::ParentChange:
        // The engine sets the clipping mask and then repaints, so a paint is
        // when a new mask is known.
        QWidget::event(event);
        follow();
        return true;
    default: return QWidget::event(event);
    }
}

void XWidgetEmbed::follow()
{
    if (!m_content || holders().value(m_content) != this)
        return;
    QWidget *host = parentWidget();
    if (!host)
        return;
    if (m_content->parentWidget() != host)
        m_content->setParent(host);
    m_content->setGeometry(geometry());
    if (mask().isEmpty())
        m_content->clearMask();
    else
        m_content->setMask(mask());
    if (isVisible()) {
        m_content->show();
        m_content->raise();
    } else {
        m_content->hide();
    }
}

void XWidgetEmbed::release()
{
    if (m_content && holders().value(m_content) == this) {
        holders().remove(m_content);
        m_content->hide();
    }
    m_content.clear();
}
