#pragma once

#include <QWebPluginFactory>

class QWebFrame;
class XWebView;

// Resolves embedded objects of type "vesk/widget" to the view's widgets, for
// trusted documents only; the engine gets a stand-in, not the widget.
class XWebPluginFactory : public QWebPluginFactory {
    Q_OBJECT

public:
    explicit XWebPluginFactory(XWebView *view);

    QList<Plugin> plugins() const override;
    QObject *create(const QString &mimeType, const QUrl &url, const QStringList &argumentNames,
                    const QStringList &argumentValues) const override;

private:
    bool onlyTrustedAsk(QWebFrame *frame, int id, bool *found) const;

    XWebView *m_view;
};
