#pragma once

#include "veskplugin.h"

#include <QString>

// A minimal plug-in: the page sees it as "lexample".
class VeskExample : public VESKPlugin {
    Q_OBJECT

public:
    explicit VeskExample(QWebView *view);

    const char *scriptObjectName() const override;

    // What the last "app://call/@VeskExample/remember/..." link passed.
    static QStringList lastDirectCall();

public Q_SLOTS:
    // Answers at once.
    QString greet(const QString &name);
    // Answers later, the way long work does: callback(text) from the event loop.
    void greetLater(const QString &name, const QString &callback);
    QStringList lastCall();
};
