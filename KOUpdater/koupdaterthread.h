#pragma once

#include "kotagimportresult.h"

#include <QString>
#include <QThread>

#include <atomic>

class QWebView;

// Runs one dictionary import. Imports of the same database file wait for each
// other within the process, so a second one does not compete for the write lock.
class KOUpdaterThread : public QThread {
    Q_OBJECT

public:
    KOUpdaterThread(QWebView *view, const QString &pathDb, const QString &path, QObject *parent);

    // Read once finished() has been emitted.
    KOTagImportResult result() const { return m_result; }
    // An import still waiting for its turn does not start; a running one stops
    // and rolls back.
    void cancel() { m_cancelled = true; }

    QWebView *view() const { return m_view; }

protected:
    void run() override;

private:
    QWebView *m_view = nullptr;
    QString m_pathDb;
    QString m_path;
    KOTagImportResult m_result;
    std::atomic<bool> m_cancelled {false};
};
