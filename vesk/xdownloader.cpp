#include "xdownloader.h"

#include "xjsliteral.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QWebFrame>

namespace {

const int kMaxRedirects = 10;
const qint64 kProgressIntervalMs = 100;
// The body goes to disk as it arrives; this bounds what Qt's HTTP thread may
// read ahead while the GUI thread is busy.
const qint64 kReadBufferSize = 1024 * 1024;

int httpStatus(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

XDownloader::XDownloader(const Evaluator &evaluate, QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_evaluate(evaluate)
{
    // A manager of its own: downloads carry none of the page's cookies.
    connect(m_manager, &QNetworkAccessManager::finished, this, &XDownloader::downloadFinished);
}

XDownloader::~XDownloader()
{
    // Abandoned downloads leave their targets as they were.
    for (auto it = m_downloads.begin(); it != m_downloads.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        delete it->file;
    }
}

void XDownloader::download(const QString &target_url, const QString &path, const QString &func_pointer,
                           const QString &func_pointer_err, const QString &progressFunc)
{
    const QUrl url = QUrl::fromEncoded(target_url.toLocal8Bit(), QUrl::TolerantMode);
    auto fail = [this, func_pointer_err](const QString &text) {
        // Reported from the event loop, like every other end, never inside the call.
        QTimer::singleShot(0, this, [this, func_pointer_err, text] { reportFailure(func_pointer_err, 0, text); });
    };
    if (!url.isValid() || url.isRelative()) {
        fail(QStringLiteral("Invalid URL: %1").arg(target_url));
        return;
    }
    auto *file = new QSaveFile(path);
    if (path.isEmpty() || !file->open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("Cannot write %1: %2").arg(path, file->errorString()));
        delete file;
        return;
    }

    QNetworkRequest request(url);
    // Never from https to http (RFC 7231 leaves following to the client).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    QNetworkReply *reply = m_manager->get(request);
    reply->setReadBufferSize(kReadBufferSize);

    Download &d = m_downloads[reply];
    d.file = file;
    d.funcOk = func_pointer;
    d.funcErr = func_pointer_err;
    d.funcProgress = progressFunc;
    reply->setProperty("file_path", path);
    reply->setProperty("func_pointer", func_pointer);
    reply->setProperty("func_pointer_err", func_pointer_err);

    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { readBody(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) { downloadProgress(reply, received, total); });
}

void XDownloader::readBody(QNetworkReply *reply)
{
    auto it = m_downloads.find(reply);
    if (it == m_downloads.end())
        return;
    const QByteArray chunk = reply->readAll();
    // An error page is never the file the page asked for.
    if (httpStatus(reply) >= 400 || !it->writeError.isEmpty())
        return;
    if (it->file->write(chunk) != chunk.size()) {
        it->writeError = QStringLiteral("Cannot write %1: %2").arg(it->file->fileName(), it->file->errorString());
        reply->abort();
    }
}

void XDownloader::downloadProgress(QNetworkReply *reply, qint64 received, qint64 total)
{
    auto it = m_downloads.find(reply);
    if (it == m_downloads.end())
        return;
    it->received = received;
    // Qt reports the received count as the total at the end; the page was told
    // the size was unknown and keeps hearing so.
    it->total = reply->header(QNetworkRequest::ContentLengthHeader).isValid() ? total : -1;
    if (it->funcProgress.isEmpty())
        return;
    if (it->sinceProgress.isValid() && it->sinceProgress.elapsed() < kProgressIntervalMs)
        return;
    // The last call is made when the download ends, with the final figures.
    if (it->total >= 0 && received >= it->total)
        return;
    it->sinceProgress.start();
    reportProgress(*it);
}

void XDownloader::downloadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    // What is still buffered belongs to the file too.
    if (reply->error() == QNetworkReply::NoError)
        readBody(reply);
    const auto it = m_downloads.find(reply);
    if (it == m_downloads.end())
        return;
    Download d = *it;
    m_downloads.erase(it);
    QScopedPointer<QSaveFile> file(d.file);

    if (!d.funcProgress.isEmpty())
        reportProgress(d);

    const int status = httpStatus(reply);
    if (!d.writeError.isEmpty()) {
        reportFailure(d.funcErr, status, d.writeError);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        reportFailure(d.funcErr, status, reply->errorString());
        return;
    }
    if (status >= 400) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        reportFailure(d.funcErr, status, QStringLiteral("HTTP %1 %2").arg(status).arg(reason).trimmed());
        return;
    }
    if (!file->commit()) {
        reportFailure(d.funcErr, status,
                      QStringLiteral("Cannot write %1: %2").arg(file->fileName(), file->errorString()));
        return;
    }
    if (!d.funcOk.isEmpty())
        m_evaluate(QStringLiteral("window.") + d.funcOk + QStringLiteral("();"));
}

void XDownloader::reportProgress(const Download &d)
{
    m_evaluate(QStringLiteral("window.%1(%2,%3);")
                 .arg(d.funcProgress, XJsLiteral::fromVariant(d.received), XJsLiteral::fromVariant(d.total)));
}

void XDownloader::reportFailure(const QString &func, int httpStatus, const QString &text)
{
    if (func.isEmpty())
        return;
    QVariantMap error;
    error.insert(QStringLiteral("http_status"), httpStatus);
    error.insert(QStringLiteral("error_text"), text);
    m_evaluate(QStringLiteral("window.") + func + QLatin1Char('(') + XJsLiteral::fromVariant(error)
             + QStringLiteral(");"));
}

