#pragma once

#include <QPointer>
#include <QWidget>

// What the engine embeds for an object element that shows one of the view's
// widgets. The element's script object is this stand-in, never the widget: it
// has no children, answers no calls and lets no script delete it, while the
// widget itself stays a child of the view and follows the stand-in's place,
// clipping and visibility. No Q_OBJECT on purpose: qt_metacall is ours.
class XWidgetEmbed : public QWidget {
public:
    explicit XWidgetEmbed(QWidget *content);
    ~XWidgetEmbed() override;

    QWidget *content() const { return m_content; }
    // The stand-in that now shows content, if any.
    static XWidgetEmbed *holding(const QWidget *content);

    int qt_metacall(QMetaObject::Call call, int id, void **arguments) override;

protected:
    bool event(QEvent *event) override;

private:
    void follow();
    void release();

    QPointer<QWidget> m_content;
};
