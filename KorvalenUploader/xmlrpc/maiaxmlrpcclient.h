#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QNetworkRequest>
#include <QObject>
#include <QSharedPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <QUrl>
#include <QVariant>

class MaiaObject;
class MaiaResponseDecoder;
class QNetworkAccessManager;
class QNetworkReply;

// Sends XML-RPC calls to one endpoint; each call reports to its own receivers.
class MaiaXmlRpcClient : public QObject {
    Q_OBJECT

public:
    static const int DefaultInactivityTimeout = 120000;
    static const qint64 DefaultMaximumResponseSize = 64 * 1024 * 1024;
    // What Qt's HTTP thread may hold for a reply before it stops reading.
    static const qint64 ReadBufferSize = 256 * 1024;

    explicit MaiaXmlRpcClient(QObject *parent = nullptr);
    MaiaXmlRpcClient(QUrl url, QObject *parent = nullptr);
    MaiaXmlRpcClient(QUrl url, QString userAgent, QObject *parent = nullptr);
    ~MaiaXmlRpcClient() override;

    void setUrl(QUrl url);
    QUrl url() const { return m_request.url(); }
    void setUserAgent(QString userAgent);
    QSslConfiguration sslConfiguration() const;
    void setSslConfiguration(QSslConfiguration config);

    // Milliseconds without a byte in either direction before a call fails.
    void setInactivityTimeout(int msecs);
    int inactivityTimeout() const { return m_inactivityTimeout; }
    void setMaximumResponseSize(qint64 bytes);
    qint64 maximumResponseSize() const { return m_maximumResponseSize; }

    QNetworkReply *call(QString method, QVariantList args, QObject *responseObject, const char *responseSlot,
                        QObject *faultObject, const char *faultSlot, QString name = QString());
    // The same with the document already written (UTF-8), for calls too large
    // to go through a QString.
    QNetworkReply *callDocument(QByteArray document, QObject *responseObject, const char *responseSlot,
                                QObject *faultObject, const char *faultSlot, QString name = QString());

signals:
    void sslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

private slots:
    void replyFinished(QNetworkReply *reply);

private:
    void init();
    MaiaObject *makeCallObject(const QString &name, QObject *responseObject, const char *responseSlot,
                               QObject *faultObject, const char *faultSlot);
    QNetworkReply *post(const QByteArray &document, MaiaObject *callObject);
    void watch(QNetworkReply *reply);
    void abortCall(QNetworkReply *reply, const QString &reason);

    QNetworkAccessManager *m_manager;
    QNetworkRequest m_request;
    QMap<QNetworkReply *, MaiaObject *> m_callmap;
    QHash<QNetworkReply *, QString> m_abortReasons;
    QHash<QNetworkReply *, QSharedPointer<MaiaResponseDecoder>> m_bodies;
    int m_inactivityTimeout;
    qint64 m_maximumResponseSize;
    int m_delivering;
};
