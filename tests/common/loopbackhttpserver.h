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

// A small HTTP server on 127.0.0.1, listening from construction. Paths set
// with setPage() are answered at once (other paths then get 404); anything
// else goes to the handler, or waits for the test to answer it by index:
// at once, later, never, with garbage, or with an endless body.
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

    // True once listening; the constructor already tries.
    bool listenLoopback();
    // Serve TLS with this certificate and key on every connection.
    void setTls(const QSslCertificate &certificate, const QSslKey &key);
    // A fresh self-signed identity for 127.0.0.1 (made by the openssl command);
    // false with the reason when it cannot be made.
    static bool makeIdentity(QSslCertificate *certificate, QSslKey *key, QString *why);
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // The XML-RPC endpoint.
    QString baseUrl() const;
    QString url(const QString &path) const;
    const QList<Request> &requests() const { return m_requests; }
    // The value of a request header in the last request for the path.
    QByteArray header(const QString &path, const QByteArray &name) const;

    // headers: extra response header lines, each without CRLF.
    void setPage(const QString &path, const QByteArray &body, const QList<QByteArray> &headers = {});

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
    bool servePage(int index);

    struct Page {
        QByteArray body;
        QList<QByteArray> headers;
    };

    Handler m_handler;
    QMap<QString, Page> m_pages;
    QList<Request> m_requests;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    QSslCertificate m_certificate;
    QSslKey m_key;
    bool m_tls;
};
