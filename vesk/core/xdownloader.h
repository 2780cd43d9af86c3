#pragma once

#include "xjsliteral.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class QTimer;

// Fetches URLs into local files for one page and calls the page back when each
// download ends. Any number run at once, each finishing on its own.
class XDownloader : public QObject {
    Q_OBJECT

public:
    using Evaluator = XJsLiteral::Evaluator;

    // evaluate: how a callback reaches the page.
    XDownloader(const Evaluator &evaluate, QObject *parent = nullptr);
    ~XDownloader() override;

    int runningCount() const { return m_downloads.size(); }

    // Time a download may go without a byte from the server.
    static const int DefaultInactivityTimeout = 120000;

public Q_SLOTS:
    // progressFunc, when not empty, gets (bytesReceived, bytesTotal) at most ten
    // times a second and once at the end; total is -1 when unknown. options: a
    // map; "timeout" sets the inactivity time-out in seconds.
    void download(const QString &target_url, const QString &path, const QString &func_pointer,
                  const QString &func_pointer_err, const QString &progressFunc = QString(),
                  const QVariant &options = QVariant());

private:
    struct Download {
        QSaveFile *file = nullptr;
        QString funcOk;
        QString funcErr;
        QString funcProgress;
        QElapsedTimer sinceProgress;
        qint64 received = 0;
        qint64 total = -1;
        qint64 reported = -1;
        QString writeError;
        // Restarted by every sign of life from the server; owned by the reply.
        QTimer *idle = nullptr;
        // Releases a progress report held back by the rate limit.
        QTimer *heldProgress = nullptr;
        int timeoutMs = DefaultInactivityTimeout;
        bool timedOut = false;
    };

    void downloadFinished(QNetworkReply *reply);
    void noteProgress(QNetworkReply *reply, qint64 received);
    void readBody(QNetworkReply *reply);
    void reportProgress(Download &d);
    void timedOut(QNetworkReply *reply);
    static bool readOptions(const QVariant &options, int *timeoutMs, QString *error);
    void reportFailure(const QString &func, int httpStatus, const QString &text);
    QNetworkAccessManager *m_manager = nullptr;
    Evaluator m_evaluate;
    QHash<QNetworkReply *, Download> m_downloads;
};
