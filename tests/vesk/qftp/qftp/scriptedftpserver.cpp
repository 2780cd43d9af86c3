#include "scriptedftpserver.h"

#include <QTimer>

#include <memory>

ScriptedFtpServer::ScriptedFtpServer(const QHostAddress &address, QObject *parent)
    : QObject(parent)
    , m_address(address)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedFtpServer::newControlConnection);
    connect(&m_dataServer, &QTcpServer::newConnection, this, &ScriptedFtpServer::newDataConnection);
    m_server.listen(address, 0);
}

QStringList ScriptedFtpServer::verbs() const
{
    QStringList result;
    for (const QString &line : m_received)
        result << line.section(QLatin1Char(' '), 0, 0);
    return result;
}

void ScriptedFtpServer::newControlConnection()
{
    QTcpSocket *socket = m_server.nextPendingConnection();
    if (m_control) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_control = socket;
    m_inbox.clear();
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedFtpServer::controlReadyRead);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    send(m_greeting);
}

void ScriptedFtpServer::controlReadyRead()
{
    if (!m_control)
        return;
    m_inbox += m_control->readAll();
    for (;;) {
        const int eol = m_inbox.indexOf("\r\n");
        if (eol < 0)
            break;
        const QByteArray line = m_inbox.left(eol);
        m_inbox.remove(0, eol + 2);
        m_received << QString::fromLatin1(line);
        emit lineReceived(QString::fromLatin1(line));
        handle(line);
        if (!m_control)
            break;
    }
}

void ScriptedFtpServer::send(const QByteArray &raw)
{
    if (!m_control || raw.isEmpty())
        return;
    if (!m_splitReplies || raw.size() < 2) {
        m_control->write(raw);
        return;
    }
    const int half = raw.size() / 2;
    m_control->write(raw.left(half));
    m_control->flush();
    QPointer<QTcpSocket> control = m_control;
    QTimer::singleShot(30, this, [control, rest = raw.mid(half)]() {
        if (control)
            control->write(rest);
    });
}

void ScriptedFtpServer::sendFinal(const QByteArray &raw)
{
    m_transferOpen = false;
    send(raw);
}

void ScriptedFtpServer::handle(const QByteArray &line)
{
    const QByteArray verb = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
    const QByteArray arg = line.indexOf(' ') < 0 ? QByteArray() : line.mid(line.indexOf(' ') + 1);

    if (m_replies.contains(verb)) {
        send(m_replies.value(verb));
    } else if (verb == "USER") {
        send("331 Password required\r\n");
    } else if (verb == "PASS") {
        send("230 Logged in\r\n");
    } else if (verb == "TYPE" || verb == "ALLO") {
        send("200 OK\r\n");
    } else if (verb == "SIZE") {
        send("213 " + QByteArray::number(m_file.size()) + "\r\n");
    } else if (verb == "PASV") {
        openPassive(false);
    } else if (verb == "EPSV") {
        openPassive(true);
    } else if (verb == "PORT") {
        const QList<QByteArray> n = arg.split(',');
        if (n.size() != 6) {
            send("501 Bad PORT\r\n");
            return;
        }
        if (!m_noData)
            connectActive(m_address, quint16(n[4].toUInt() * 256 + n[5].toUInt()));
        send("200 PORT OK\r\n");
    } else if (verb == "EPRT") {
        const QList<QByteArray> parts = arg.split(arg.isEmpty() ? '|' : arg.at(0));
        if (parts.size() < 4) {
            send("501 Bad EPRT\r\n");
            return;
        }
        if (!m_noData)
            connectActive(QHostAddress(QString::fromLatin1(parts[2])), quint16(parts[3].toUInt()));
        send("200 EPRT OK\r\n");
    } else if (m_noData && (verb == "RETR" || verb == "LIST" || verb == "STOR")) {
        // Late, so that the client has seen its data connection closed.
        QTimer::singleShot(50, this,
                           [this]() { sendFinal("150 Opening data connection\r\n226 Transfer complete\r\n"); });
    } else if (verb == "RETR" || verb == "LIST") {
        const QByteArray content = verb == "RETR" ? m_file : m_listing;
        m_transferOpen = true;
        if (!m_repliesAfterData)
            send("150 Opening data connection\r\n");
        whenDataReady([this, content]() { sendData(content); });
    } else if (verb == "STOR") {
        m_transferOpen = true;
        send("150 Ready for data\r\n");
        whenDataReady([this]() { receiveUpload(); });
    } else if (verb == "ABOR") {
        // Answered a little later, so that the client has its next command ready by then.
        // RFC 959: 426 for a transfer still owed its final reply, then 226 for ABOR.
        const QByteArray answer = m_transferOpen ? QByteArray("426 Transfer aborted\r\n226 ABOR done\r\n")
                                                 : QByteArray("225 No transfer to abort\r\n");
        m_transferOpen = false;
        if (m_data) {
            m_data->disconnect(this);
            m_data->abort();
        }
        QTimer::singleShot(30, this, [this, answer]() { send(answer); });
        m_pendingDataAction = nullptr;
    } else if (verb == "CWD" || verb == "RMD" || verb == "DELE" || verb == "RNTO") {
        send("250 OK\r\n");
    } else if (verb == "MKD") {
        send("257 \"" + arg + "\" created\r\n");
    } else if (verb == "RNFR") {
        send("350 Ready for RNTO\r\n");
    } else if (verb == "QUIT") {
        send("221 Bye\r\n");
        m_control->disconnectFromHost();
        return;
    } else {
        send("502 Not implemented\r\n");
    }
    if (!m_closeAfter.isEmpty() && verb == m_closeAfter && m_control)
        m_control->disconnectFromHost();
}

void ScriptedFtpServer::openPassive(bool extended)
{
    m_dataServer.close();
    if (m_data) {
        m_data->abort();
        m_data = nullptr;
    }
    m_dataServer.listen(m_address, 0);
    const quint16 port = m_dataServer.serverPort();
    if (extended) {
        send("229 Entering Extended Passive Mode (|||" + QByteArray::number(port) + "|)\r\n");
        return;
    }
    QByteArray host = m_passiveHost;
    if (host.isEmpty())
        host = m_address.toString().toLatin1().replace('.', ',');
    if (m_address.protocol() == QAbstractSocket::IPv6Protocol && m_passiveHost.isEmpty())
        host = "127,0,0,1";
    send("227 Entering Passive Mode (" + host + "," + QByteArray::number(port / 256) + ","
         + QByteArray::number(port % 256) + ").\r\n");
}

void ScriptedFtpServer::connectActive(const QHostAddress &host, quint16 port)
{
    if (m_data)
        m_data->abort();
    auto *socket = new QTcpSocket(this);
    m_data = socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket]() {
        if (m_data == socket && m_pendingDataAction) {
            auto action = m_pendingDataAction;
            m_pendingDataAction = nullptr;
            action();
        }
    });
    socket->connectToHost(host, port);
}

void ScriptedFtpServer::newDataConnection()
{
    QTcpSocket *socket = m_dataServer.nextPendingConnection();
    m_dataServer.close();
    if (m_noData) {
        socket->disconnectFromHost();
        return;
    }
    m_data = socket;
    if (m_pendingDataAction) {
        auto action = m_pendingDataAction;
        m_pendingDataAction = nullptr;
        action();
    }
}

void ScriptedFtpServer::whenDataReady(std::function<void()> action)
{
    if (m_data && m_data->state() == QAbstractSocket::ConnectedState)
        action();
    else
        m_pendingDataAction = std::move(action);
}

void ScriptedFtpServer::sendData(const QByteArray &content)
{
    QTcpSocket *data = m_data;
    const QByteArray part = m_sendLimit >= 0 ? content.left(int(m_sendLimit)) : content;
    if (m_stall && m_pieceSize > 0) {
        auto *timer = new QTimer(data);
        auto sent = std::make_shared<int>(0);
        connect(timer, &QTimer::timeout, data, [data, timer, sent, part, this]() {
            data->write(part.mid(*sent, m_pieceSize));
            *sent += m_pieceSize;
            if (*sent >= part.size())
                timer->stop();
        });
        timer->start(m_pieceInterval);
        return;
    }
    data->write(part);
    if (m_stall)
        return;
    if (m_finalBeforeClose) {
        sendFinal("226 Transfer complete\r\n");
        m_control->flush();
    }
    connect(data, &QTcpSocket::disconnected, this, [this]() {
        if (m_dropAfterData) {
            // Late, so that the client has seen its data connection closed first.
            QPointer<QTcpSocket> control = m_control;
            QTimer::singleShot(50, this, [control]() {
                if (control)
                    control->disconnectFromHost();
            });
            return;
        }
        if (m_repliesAfterData)
            sendFinal("150 Opening data connection\r\n226 Transfer complete\r\n");
        else if (!m_finalBeforeClose)
            sendFinal("226 Transfer complete\r\n");
    });
    data->disconnectFromHost();
}

void ScriptedFtpServer::receiveUpload()
{
    QTcpSocket *data = m_data;
    m_uploaded.clear();
    auto drain = [this, data]() {
        if (data->isOpen())
            m_uploaded += data->readAll();
    };
    connect(data, &QTcpSocket::readyRead, this, drain);
    connect(data, &QTcpSocket::disconnected, this, [this, drain]() {
        drain();
        sendFinal("226 Transfer complete\r\n");
    });
    drain();
    if (data->state() != QAbstractSocket::ConnectedState) {
        sendFinal("226 Transfer complete\r\n");
    }
}
