#include "loopbackhttpserver.h"

#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QTcpServer(parent)
    , m_tls(false)
{
    listen(QHostAddress::LocalHost, 0);
}

bool LoopbackHttpServer::listenLoopback()
{
    return isListening() || listen(QHostAddress::LocalHost, 0);
}

void LoopbackHttpServer::setTls(const QSslCertificate &certificate, const QSslKey &key)
{
    m_certificate = certificate;
    m_key = key;
    m_tls = true;
}

bool LoopbackHttpServer::makeIdentity(QSslCertificate *certificate, QSslKey *key, QString *why)
{
    QTemporaryDir dir;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                   dir.filePath("key.pem"), "-out", dir.filePath("cert.pem"), "-days", "2", "-subj", "/CN=127.0.0.1",
                   "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!dir.isValid() || !openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
        *why = QStringLiteral("openssl could not make a test certificate: %1")
                   .arg(QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    QFile certFile(dir.filePath("cert.pem"));
    QFile keyFile(dir.filePath("key.pem"));
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("openssl wrote no certificate");
        return false;
    }
    *certificate = QSslCertificate(&certFile, QSsl::Pem);
    *key = QSslKey(&keyFile, QSsl::Ec, QSsl::Pem);
    if (certificate->isNull() || key->isNull()) {
        *why = QStringLiteral("the test certificate cannot be read");
        return false;
    }
    return true;
}

QString LoopbackHttpServer::baseUrl() const
{
    return url(QStringLiteral("/RPC2"));
}

QString LoopbackHttpServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(m_tls ? "https" : "http").arg(serverPort()).arg(path);
}

void LoopbackHttpServer::setPage(const QString &path, const QByteArray &body, const QList<QByteArray> &headers)
{
    m_pages.insert(path, Page {body, headers});
}

QByteArray LoopbackHttpServer::header(const QString &path, const QByteArray &name) const
{
    for (int i = m_requests.size() - 1; i >= 0; --i) {
        if (m_requests.at(i).path == path.toLatin1())
            return m_requests.at(i).headers.value(name.toLower());
    }
    return QByteArray();
}

void LoopbackHttpServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket *socket = nullptr;
    if (m_tls) {
        auto tls = new QSslSocket(this);
        tls->setSocketDescriptor(descriptor);
        tls->setLocalCertificate(m_certificate);
        tls->setPrivateKey(m_key);
        tls->startServerEncryption();
        socket = tls;
    } else {
        socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, socket] { m_buffers.remove(socket); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    // Before the members go: deleting a socket touches m_buffers.
    qDeleteAll(findChildren<QTcpSocket *>());
}

void LoopbackHttpServer::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        request.method = start.value(0);
        request.path = start.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                       lines.at(i).mid(colon + 1).trimmed());
        }
        const int length = request.headers.value("content-length").toInt();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        request.socket = socket;
        m_requests.append(request);
        const int index = m_requests.size() - 1;
        emit requestReceived(index);
        if (m_handler)
            m_handler(this, index);
        else if (!m_pages.isEmpty() && servePage(index))
            return;
    }
}

bool LoopbackHttpServer::servePage(int index)
{
    // One request per connection, as HTTP/1.0 without keep-alive.
    QTcpSocket *socket = m_requests.at(index).socket;
    if (!socket)
        return false;
    const QByteArray path = m_requests.at(index).path.split('?').value(0);
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
    return true;
}

void LoopbackHttpServer::respond(int index, int status, const QByteArray &body, const QByteArray &contentType)
{
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(status) + (status < 400 ? " OK" : " Error") + "\r\n";
    reply += "Content-Type: " + contentType + "\r\n";
    reply += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    reply += "Connection: close\r\n\r\n";
    reply += body;
    writeRaw(index, reply);
}

void LoopbackHttpServer::writeRaw(int index, const QByteArray &data)
{
    QTcpSocket *socket = m_requests.value(index).socket;
    if (socket)
        socket->write(data);
}

void LoopbackHttpServer::streamEndlessly(int index)
{
    QPointer<QTcpSocket> socket = m_requests.value(index).socket;
    if (!socket)
        return;
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n");
    const QByteArray chunk(64 * 1024, 'x');
    // Bounded: at most 256 MiB even if the client never gives up.
    auto timer = new QTimer(socket);
    timer->setInterval(1);
    auto written = std::make_shared<int>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, chunk, written] {
        if (socket->state() != QAbstractSocket::ConnectedState || *written >= 4096) {
            timer->stop();
            return;
        }
        while (socket->bytesToWrite() < 4 * chunk.size() && *written < 4096) {
            socket->write(chunk);
            ++*written;
        }
    });
    timer->start();
}
