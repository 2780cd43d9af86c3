#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// A small HTTP/1.1 server on 127.0.0.1 whose answers each test scripts:
// answer at once, later, never, with garbage, or with an endless body.
class LoopbackHttpServer : public QTcpServer {
    Q_OBJECT

public:
    struct Request {
        QPointer<QTcpSocket> socket;
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    using Handler = std::function<void(LoopbackHttpServer *, int index)>;

    explicit LoopbackHttpServer(QObject *parent = nullptr);
    ~LoopbackHttpServer() override;

    bool listenLoopback();
    // Serve TLS with this certificate and key on every connection.
    void setTls(const QSslCertificate &certificate, const QSslKey &key);
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    QString baseUrl() const;
    const QList<Request> &requests() const { return m_requests; }

    void respond(int index, int status, const QByteArray &body, const QByteArray &contentType = "text/xml");
    void writeRaw(int index, const QByteArray &data);
    // Sends headers without a length and then data until the client goes.
    void streamEndlessly(int index);

signals:
    void requestReceived(int index);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void readFrom(QTcpSocket *socket);

    Handler m_handler;
    QList<Request> m_requests;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    QSslCertificate m_certificate;
    QSslKey m_key;
    bool m_tls;
};
