#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

// Fetches URLs into local files for one page and calls the page back when each
// download ends. Any number run at once, each finishing on its own.
class XDownloader : public QObject {
    Q_OBJECT

public:
    using Evaluator = std::function<void(const QString &)>;

    // evaluate: how a callback reaches the page.
    XDownloader(const Evaluator &evaluate, QObject *parent = nullptr);
    ~XDownloader() override;

    int runningCount() const { return m_downloads.size(); }

public Q_SLOTS:
    // progressFunc, when not empty, gets (bytesReceived, bytesTotal) at most ten
    // times a second and once at the end; total is -1 when unknown.
    void download(const QString &target_url, const QString &path, const QString &func_pointer,
                  const QString &func_pointer_err, const QString &progressFunc = QString());

private:
    struct Download {
        QSaveFile *file = nullptr;
        QString funcOk;
        QString funcErr;
        QString funcProgress;
        QElapsedTimer sinceProgress;
        qint64 received = 0;
        qint64 total = -1;
        QString writeError;
    };

    void downloadFinished(QNetworkReply *reply);
    void downloadProgress(QNetworkReply *reply, qint64 received, qint64 total);
    void readBody(QNetworkReply *reply);
    void reportProgress(const Download &d);
    void reportFailure(const QString &func, int httpStatus, const QString &text);
    QNetworkAccessManager *m_manager = nullptr;
    Evaluator m_evaluate;
    QHash<QNetworkReply *, Download> m_downloads;
};
