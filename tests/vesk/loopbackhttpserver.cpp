#include "loopbackhttpserver.h"

#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QTcpServer(parent)
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString LoopbackHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void LoopbackHttpServer::setPage(const QString &path, const QByteArray &body, const QList<QByteArray> &headers)
{
    m_pages.insert(path, Page {body, headers});
}

QByteArray LoopbackHttpServer::header(const QString &path, const QByteArray &name) const
{
    for (int i = m_requests.size() - 1; i >= 0; --i) {
        const QList<QByteArray> lines = m_requests.at(i).split('\n');
        const QList<QByteArray> first = lines.value(0).split(' ');
        if (first.value(1) != path.toLatin1())
            continue;
        for (const QByteArray &line : lines) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return QByteArray();
    }
    return QByteArray();
}

void LoopbackHttpServer::serve(QTcpSocket *socket)
{
    QByteArray buffered = socket->property("buffer").toByteArray() + socket->readAll();
    const int end = buffered.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("buffer", buffered);
        return;
    }
    const QByteArray head = buffered.left(end);
    socket->setProperty("buffer", QByteArray());
    m_requests << head;
    const QByteArray path = head.split(' ').value(1).split('?').value(0);
    const auto it = m_pages.constFind(QString::fromLatin1(path));
    QByteArray response;
    if (it == m_pages.constEnd()) {
        response = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else {
        response = "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n";
        for (const QByteArray &h : it->headers)
            response += h + "\r\n";
        response += "Content-Length: " + QByteArray::number(it->body.size()) + "\r\n\r\n" + it->body;
    }
    socket->write(response);
    socket->disconnectFromHost();
}
