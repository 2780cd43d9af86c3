#include "maiaxmlrpcclient.h"

#include "maiafault.h"
#include "maiaobject.h"
#include "maiaresponsedecoder.h"
#include "maiaxmlwriter.h"

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

MaiaObject *MaiaXmlRpcClient::makeCallObject(const QString &name, QObject *responseObject, const char *responseSlot,
                                             QObject *faultObject, const char *faultSlot)
{
    MaiaObject *callObject = new MaiaObject(this);
    callObject->setProperty("name", name);
    if (responseObject && responseSlot)
        connect(callObject, SIGNAL(aresponse(QVariant &, QNetworkReply *)), responseObject, responseSlot);
    if (faultObject && faultSlot)
        connect(callObject, SIGNAL(fault(int, const QString &, QNetworkReply *)), faultObject, faultSlot);
    return callObject;
}

QNetworkReply *MaiaXmlRpcClient::call(QString method, QVariantList args, QObject *responseObject,
                                      const char *responseSlot, QObject *faultObject, const char *faultSlot,
                                      QString name)
{
    MaiaObject *callObject = makeCallObject(name, responseObject, responseSlot, faultObject, faultSlot);

    for (const QVariant &arg : args) {
        int badType = QMetaType::UnknownType;
        if (!MaiaXmlWriter::canWrite(arg, &badType)) {
            // Sending an empty value instead would let the call succeed with data the caller never meant.
            const QString text =
                QStringLiteral("cannot marshal argument: type %1 (%2) has no XML-RPC form")
                    .arg(badType == QMetaType::UnknownType ? QStringLiteral("null")
                                                           : QString::fromLatin1(QMetaType::typeName(badType)))
                    .arg(badType);
            QTimer::singleShot(0, callObject,
                               [callObject, text] { callObject->deliverFault(MaiaFault::NotXmlRpc, text, nullptr); });
            return nullptr;
        }
    }

    return post(MaiaObject::prepareCall(method, args).toUtf8(), callObject);
}

QNetworkReply *MaiaXmlRpcClient::callDocument(QByteArray document, QObject *responseObject, const char *responseSlot,
                                              QObject *faultObject, const char *faultSlot, QString name)
{
    return post(document, makeCallObject(name, responseObject, responseSlot, faultObject, faultSlot));
}

QNetworkReply *MaiaXmlRpcClient::post(const QByteArray &document, MaiaObject *callObject)
{
    // Handed over shared, not copied: the network code reads straight from it.
    QNetworkReply *reply = m_manager->post(m_request, document);
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

    // The body is taken and decoded as it arrives, which frees the read
    // buffer and never holds the raw bytes next to the text, and checked
    // against the cap, so an endless body never sits in memory whole.
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
        QSharedPointer<MaiaResponseDecoder> &decoder = m_bodies[reply];
        if (!decoder) {
            const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
            decoder.reset(new MaiaResponseDecoder(declared.isValid() ? declared.toLongLong() : -1));
        }
        const QByteArray chunk = reply->readAll();
        if (decoder->bytesFed() + chunk.size() > limit)
            abortCall(reply, tooLarge);
        else
            decoder->feed(chunk);
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
    QSharedPointer<MaiaResponseDecoder> decoder = m_bodies.take(reply);

    QString response;
    int faultCode = 0;
    QString faultText;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!abortReason.isEmpty()) {
        faultCode = MaiaFault::TransportError;
        faultText = abortReason;
    } else if (reply->error() != QNetworkReply::NoError) {
        faultCode = MaiaFault::TransportError;
        faultText = reply->errorString();
    } else if (status >= 300 && status < 400) {
        // Redirects are not followed: a call's body must not be re-sent to a place the caller did not name.
        faultCode = MaiaFault::TransportError;
        faultText = QStringLiteral("HTTP status %1 %2: redirect to %3 not followed")
                        .arg(status)
                        .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(),
                             reply->header(QNetworkRequest::LocationHeader).toUrl().toString());
    } else {
        if (!decoder)
            decoder.reset(new MaiaResponseDecoder);
        decoder->feed(reply->readAll());
        QString error;
        if (!decoder->finish(&response, &error)) {
            faultCode = MaiaFault::NotWellFormed;
            faultText = QStringLiteral("parse error: %1").arg(error);
        }
    }
    decoder.reset();

    // Scheduled before delivery: a receiver may destroy this client.
    reply->deleteLater();
    QPointer<MaiaXmlRpcClient> self(this);
    ++m_delivering;
    if (faultCode != 0)
        callObject->deliverFault(faultCode, faultText, reply);
    else
        callObject->parseResponse(std::move(response), reply);
    if (self)
        --m_delivering;
}
