#include "maiaxmlrpcclient.h"

#include "maiafault.h"
#include "maiaobject.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

MaiaXmlRpcClient::MaiaXmlRpcClient(QObject *parent)
    : QObject(parent)
{
    init();
}

MaiaXmlRpcClient::MaiaXmlRpcClient(QUrl url, QObject *parent)
    : QObject(parent)
{
    init();
    setUrl(url);
}

MaiaXmlRpcClient::MaiaXmlRpcClient(QUrl url, QString userAgent, QObject *parent)
    : QObject(parent)
{
    init();
    setUserAgent(userAgent);
    setUrl(url);
}

MaiaXmlRpcClient::~MaiaXmlRpcClient()
{
    if (m_delivering == 0)
        return;
    // Destroyed from a receiver's slot while the manager is still emitting
    // finished(): Qt forbids deleting it (or its reply) there, so hand it
    // to the event loop. Our connections die with us, so no receiver of a
    // waiting call is signalled.
    disconnect(m_manager, nullptr, this, nullptr);
    m_manager->setParent(nullptr);
    for (QNetworkReply *reply : m_callmap.keys())
        reply->abort();
    m_manager->deleteLater();
}

void MaiaXmlRpcClient::init()
{
    m_manager = new QNetworkAccessManager(this);
    m_inactivityTimeout = DefaultInactivityTimeout;
    m_maximumResponseSize = DefaultMaximumResponseSize;
    m_delivering = 0;
    m_request.setRawHeader("User-Agent", "libmaia/0.2");
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml"));
    connect(m_manager, &QNetworkAccessManager::finished, this, &MaiaXmlRpcClient::replyFinished);
    connect(m_manager, &QNetworkAccessManager::sslErrors, this, &MaiaXmlRpcClient::sslErrors);
}

void MaiaXmlRpcClient::setUrl(QUrl url)
{
    if (!url.isValid())
        return;
    m_request.setUrl(url);
}

void MaiaXmlRpcClient::setUserAgent(QString userAgent)
{
    m_request.setRawHeader("User-Agent", userAgent.toLatin1());
}

QSslConfiguration MaiaXmlRpcClient::sslConfiguration() const
{
    return m_request.sslConfiguration();
}

void MaiaXmlRpcClient::setSslConfiguration(QSslConfiguration config)
{
    m_request.setSslConfiguration(config);
}

void MaiaXmlRpcClient::setInactivityTimeout(int msecs)
{
    m_inactivityTimeout = qMax(1, msecs);
}

void MaiaXmlRpcClient::setMaximumResponseSize(qint64 bytes)
{
    m_maximumResponseSize = qMax<qint64>(1, bytes);
}

QNetworkReply *MaiaXmlRpcClient::call(QString method, QVariantList args, QObject *responseObject,
                                      const char *responseSlot, QObject *faultObject, const char *faultSlot,
                                      QString name)
{
    MaiaObject *callObject = new MaiaObject(this);
    callObject->setProperty("name", name);
    if (responseObject && responseSlot)
        connect(callObject, SIGNAL(aresponse(QVariant &, QNetworkReply *)), responseObject, responseSlot);
    if (faultObject && faultSlot)
        connect(callObject, SIGNAL(fault(int, const QString &, QNetworkReply *)), faultObject, faultSlot);

    const QByteArray body = MaiaObject::prepareCall(method, args).toUtf8();
    QNetworkReply *reply = m_manager->post(m_request, body);
    m_callmap.insert(reply, callObject);
    watch(reply);
    return reply;
}

void MaiaXmlRpcClient::watch(QNetworkReply *reply)
{
    QTimer *timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setInterval(m_inactivityTimeout);
    const QString stalled = QStringLiteral("no data from the server for %1 s").arg(m_inactivityTimeout / 1000.0);
    connect(timer, &QTimer::timeout, this, [this, reply, stalled] { abortCall(reply, stalled); });
    auto alive = [timer] { timer->start(); };
    connect(reply, &QNetworkReply::uploadProgress, timer, alive);
    connect(reply, &QNetworkReply::metaDataChanged, timer, alive);
    connect(reply, &QNetworkReply::readyRead, timer, alive);
    timer->start();

    // Back-pressure: with a read buffer size Qt's HTTP thread stops reading
    // the socket while this thread is busy, instead of queueing without
    // bound. Qt 5 only honours it when it is set after the request has
    // reached the HTTP thread and before data flows: set at post() it is
    // ignored, set at the first data it is too late.
    QTimer::singleShot(0, reply, [reply] { reply->setReadBufferSize(ReadBufferSize); });

    // The body is taken as it arrives, which frees the read buffer, and
    // checked against the cap, so an endless body never sits in memory whole.
    const qint64 limit = m_maximumResponseSize;
    const QString tooLarge = QStringLiteral("response larger than %1 bytes").arg(limit);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, limit, tooLarge] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && declared.toLongLong() > limit)
            abortCall(reply, tooLarge);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, limit, tooLarge] {
        if (!m_callmap.contains(reply) || m_abortReasons.contains(reply))
            return;
        QByteArray &body = m_bodies[reply];
        body += reply->readAll();
        if (body.size() > limit)
            abortCall(reply, tooLarge);
    });
}

void MaiaXmlRpcClient::abortCall(QNetworkReply *reply, const QString &reason)
{
    if (!m_callmap.contains(reply) || m_abortReasons.contains(reply))
        return;
    m_abortReasons.insert(reply, reason);
    reply->abort();
}

void MaiaXmlRpcClient::replyFinished(QNetworkReply *reply)
{
    MaiaObject *callObject = m_callmap.take(reply);
    if (!callObject)
        return;
    const QString abortReason = m_abortReasons.take(reply);
    QByteArray body = m_bodies.take(reply);

    QString response;
    if (!abortReason.isEmpty()) {
        response = MaiaFault(-32300, abortReason).toString();
    } else if (reply->error() != QNetworkReply::NoError) {
        response = MaiaFault(-32300, reply->errorString()).toString();
    } else {
        body += reply->readAll();
        response = QString::fromUtf8(body);
    }
    body.clear();

    // Scheduled before delivery: a receiver may destroy this client.
    reply->deleteLater();
    QPointer<MaiaXmlRpcClient> self(this);
    ++m_delivering;
    callObject->parseResponse(response, reply);
    if (self)
        --m_delivering;
}
