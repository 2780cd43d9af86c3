#include "core/xdownloader.h"

#include "xjsliteral.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

#include <climits>
#include <cmath>
#include <utility>

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
    // Downloads die quietly with their page: nothing is called back, and the
    // aborts below must not reach downloadFinished, which edits the table.
    m_evaluate = nullptr;
    disconnect(m_manager, nullptr, this, nullptr);
    const QHash<QNetworkReply *, Download> downloads = std::exchange(m_downloads, {});
    for (auto it = downloads.cbegin(); it != downloads.cend(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        // Never committed: the temporary file goes, the target stays as it was.
        delete it->file;
    }
}

bool XDownloader::readOptions(const QVariant &options, int *timeoutMs, QString *error)
{
    *timeoutMs = DefaultInactivityTimeout;
    if (!options.isValid() || options.isNull())
        return true;
    if (options.type() != QVariant::Map) {
        *error = QStringLiteral("Invalid options: expected an object");
        return false;
    }
    const QVariantMap map = options.toMap();
    const QVariant timeout = map.value(QStringLiteral("timeout"));
    if (!timeout.isValid() || timeout.isNull())
        return true;
    const int type = static_cast<int>(timeout.type());
    const bool numeric = type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong
        || type == QMetaType::UInt || type == QMetaType::ULongLong;
    const double seconds = timeout.toDouble();
    // A QTimer takes an int of milliseconds: about 24 days at most.
    if (!numeric || !std::isfinite(seconds) || seconds <= 0 || seconds * 1000.0 > double(INT_MAX)) {
        *error = QStringLiteral("Invalid options: timeout must be a number of seconds above 0");
        return false;
    }
    *timeoutMs = qMax(1, int(std::lround(seconds * 1000.0)));
    return true;
}

void XDownloader::download(const QString &target_url, const QString &path, const QString &func_pointer,
                           const QString &func_pointer_err, const QString &progressFunc, const QVariant &options)
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
    int timeoutMs = DefaultInactivityTimeout;
    QString optionsError;
    if (!readOptions(options, &timeoutMs, &optionsError)) {
        fail(optionsError);
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

    d.timeoutMs = timeoutMs;
    d.idle = new QTimer(reply);
    d.idle->setSingleShot(true);
    d.idle->setInterval(timeoutMs);
    connect(d.idle, &QTimer::timeout, this, [this, reply] { timedOut(reply); });
    d.idle->start();
    d.heldProgress = new QTimer(reply);
    d.heldProgress->setSingleShot(true);
    connect(d.heldProgress, &QTimer::timeout, this, [this, reply] {
        auto it = m_downloads.find(reply);
        if (it != m_downloads.end() && it->received != it->reported)
            reportProgress(*it);
    });

    QTimer *idle = d.idle;
    auto alive = [idle] { idle->start(); };
    connect(reply, &QNetworkReply::metaDataChanged, this, alive);
    connect(reply, &QNetworkReply::redirected, this, alive);
    connect(reply, &QNetworkReply::encrypted, this, alive);
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, idle] {
        idle->start();
        readBody(reply);
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply, idle](qint64 received, qint64) {
        idle->start();
        noteProgress(reply, received);
    });
}

void XDownloader::timedOut(QNetworkReply *reply)
{
    auto it = m_downloads.find(reply);
    if (it == m_downloads.end())
        return;
    it->timedOut = true;
    // Ends in downloadFinished like any other failure.
    reply->abort();
}

void XDownloader::readBody(QNetworkReply *reply)
{
    auto it = m_downloads.find(reply);
    if (it == m_downloads.end())
        return;
    const QByteArray chunk = reply->readAll();
    // Qt keeps its own progress signal back for the first 100 ms and sends it
    // only with more data: what arrived before a stall is counted here.
    if (!chunk.isEmpty())
        noteProgress(reply, it->received + chunk.size());
    // An error page is never the file the page asked for.
    if (httpStatus(reply) >= 400 || !it->writeError.isEmpty())
        return;
    if (it->file->write(chunk) != chunk.size()) {
        it->writeError = QStringLiteral("Cannot write %1: %2").arg(it->file->fileName(), it->file->errorString());
        reply->abort();
    }
}

void XDownloader::noteProgress(QNetworkReply *reply, qint64 received)
{
    auto it = m_downloads.find(reply);
    if (it == m_downloads.end() || received <= it->received)
        return;
    it->received = received;
    // Qt reports the received count as the total at the end; the page was told
    // the size was unknown and keeps hearing so.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    it->total = length.isValid() ? length.toLongLong() : -1;
    if (it->funcProgress.isEmpty())
        return;
    // The last call is made when the download ends, with the final figures.
    if (it->total >= 0 && received >= it->total)
        return;
    if (it->sinceProgress.isValid() && it->sinceProgress.elapsed() < kProgressIntervalMs) {
        // Held back, but not until more data comes: a stalling server may send none.
        if (!it->heldProgress->isActive())
            it->heldProgress->start(int(kProgressIntervalMs - it->sinceProgress.elapsed()));
        return;
    }
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
    d.idle->stop();
    d.heldProgress->stop();
    QScopedPointer<QSaveFile> file(d.file);

    // The final figures, unless the page has just been told them.
    if (!d.funcProgress.isEmpty() && d.received != d.reported)
        reportProgress(d);

    const int status = httpStatus(reply);
    if (!d.writeError.isEmpty()) {
        reportFailure(d.funcErr, status, d.writeError);
        return;
    }
    if (d.timedOut) {
        reportFailure(d.funcErr, status,
                      QStringLiteral("Timed out: no data from the server for %1 s").arg(d.timeoutMs / 1000.0));
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
    if (!d.funcOk.isEmpty() && m_evaluate)
        m_evaluate(XJsLiteral::call(QStringLiteral("window.") + d.funcOk));
}

void XDownloader::reportProgress(Download &d)
{
    d.reported = d.received;
    d.sinceProgress.start();
    if (!m_evaluate)
        return;
    m_evaluate(XJsLiteral::call(QStringLiteral("window.") + d.funcProgress, {d.received, d.total}));
}

void XDownloader::reportFailure(const QString &func, int httpStatus, const QString &text)
{
    if (func.isEmpty() || !m_evaluate)
        return;
    QVariantMap error;
    error.insert(QStringLiteral("http_status"), httpStatus);
    error.insert(QStringLiteral("error_text"), text);
    m_evaluate(XJsLiteral::call(QStringLiteral("window.") + func, {error}));
}

