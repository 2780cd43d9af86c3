#pragma once

#include <QAction>

// A menu entry that knows the page function it calls.
class XAction : public QAction {
    Q_OBJECT

public:
    XAction(const QString &text, QObject *parent);
    XAction(const QIcon &icon, const QString &text, QObject *parent);

    QString onClick() const { return m_onClick; }
    void setOnClick(const QString &name) { m_onClick = name; }

Q_SIGNALS:
    // The callback name as UTF-8, so any function name arrives as written.
    void clickedx(const QByteArray &name);

public Q_SLOTS:
    void trig();

private:
    QString m_onClick;
};
