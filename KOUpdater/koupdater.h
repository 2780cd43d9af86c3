#pragma once

#include "veskplugin.h"

#include <QString>
#include <QStringList>

class KOTagImportResult;

// The page's "lkoupdater": imports a keyword dictionary into an SQLite database
// on a worker thread and calls the page back when the import is over.
class KOUpdater : public VESKPlugin {
    Q_OBJECT

public:
    explicit KOUpdater(QWebView *view);
    // Waits for the imports still running: a thread must not be destroyed while
    // it runs. Their pages are no longer called.
    ~KOUpdater() override;

    const char *scriptObjectName() const override;

    // The object the page's callback receives.
    static QVariantMap resultObject(const KOTagImportResult &result);

public Q_SLOTS:
    void hello();
    void updateData(const QString &path_db, const QString &path, const QString &callback_updated);
    // Receives the worker's finished(); called from the page it does nothing.
    void finished();
};
