#pragma once

#include <QWebPluginFactory>

class XWebView;

// Resolves embedded objects of type "vesk/widget" to the view's widgets.
class XWebPluginFactory : public QWebPluginFactory {
    Q_OBJECT

public:
    explicit XWebPluginFactory(XWebView *view);

    QList<Plugin> plugins() const override;
    QObject *create(const QString &mimeType, const QUrl &url, const QStringList &argumentNames,
                    const QStringList &argumentValues) const override;

private:
    XWebView *m_view;
};
