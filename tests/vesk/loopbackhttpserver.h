#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>

// A small HTTP/1.0 server on 127.0.0.1 that answers every request with the body
// registered for its path and records the request heads it saw.
class LoopbackHttpServer : public QTcpServer {
    Q_OBJECT

public:
    explicit LoopbackHttpServer(QObject *parent = nullptr);

    QString url(const QString &path) const;
    // headers: extra response header lines, each ending without CRLF.
    void setPage(const QString &path, const QByteArray &body, const QList<QByteArray> &headers = {});
    QList<QByteArray> requests() const { return m_requests; }
    // The value of a request header in the last request for the path.
    QByteArray header(const QString &path, const QByteArray &name) const;

private:
    void serve(class QTcpSocket *socket);

    struct Page {
        QByteArray body;
        QList<QByteArray> headers;
    };
    QMap<QString, Page> m_pages;
    QList<QByteArray> m_requests;
};
