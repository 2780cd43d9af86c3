#include "core/xsingleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

static XSingleInstance *s_listening = nullptr;
static const char kAnswer = '\1';

XSingleInstance::XSingleInstance(const QString &socketPath, QObject *parent)
    : QObject(parent)
    , m_path(socketPath)
{
}

XSingleInstance::~XSingleInstance()
{
    if (s_listening == this)
        s_listening = nullptr;
    // Closing removes the socket file: the next start listens at once.
    if (m_server)
        m_server->close();
}

QString XSingleInstance::socketPathFor(const QString &key)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    // A socket path holds at most 107 bytes: long keys are shortened to a digest.
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString name = key.size() <= 40 ? key : QString::fromLatin1(digest);
    return QDir(dir).filePath(QStringLiteral("vesk-%1.socket").arg(name));
}

XSingleInstance *XSingleInstance::listening()
{
    return s_listening;
}

QByteArray XSingleInstance::message(const QStringList &arguments, const QString &workdir)
{
    QJsonObject object;
    object.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(arguments));
    object.insert(QStringLiteral("workdir"), workdir);
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(quint32(json.size()), framed.data());
    return framed + json;
}

XSingleInstance::Outcome XSingleInstance::start(const QStringList &arguments, const QString &workdir,
                                                int answerTimeoutMs)
{
    const QByteArray data = message(arguments, workdir);
    if (data.size() - 4 > MaxMessage) {
        m_error = QStringLiteral("the arguments are larger than %1 bytes").arg(MaxMessage);
        return Failed;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // A lock left by a process that died is taken over by QLockFile itself.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(10000)) {
        m_error = QStringLiteral("%1.lock stays locked").arg(m_path);
        return Failed;
    }
    const int answered = handOff(data, answerTimeoutMs);
    if (answered == 1)
        return HandedOff;
    if (answered < 0) {
        m_error = QStringLiteral("the running instance did not answer within %1 ms").arg(answerTimeoutMs);
        return Failed;
    }
    // Nobody answers the socket: a crash left it behind.
    QLocalServer::removeServer(m_path);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(MaxPeers);
    if (!server->listen(m_path)) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(m_path, server->errorString());
        delete server;
        return Failed;
    }
    m_server = server;
    s_listening = this;
    connect(m_server, &QLocalServer::newConnection, this, &XSingleInstance::acceptPeers);
    return Listening;
}

int XSingleInstance::handOff(const QByteArray &message, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(1000))
        return 0;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return -1;
    }
    if (!socket.waitForReadyRead(timeoutMs))
        return -1;
    return socket.read(1) == QByteArray(1, kAnswer) ? 1 : -1;
}

void XSingleInstance::acceptPeers()
{
    while (QLocalSocket *peer = m_server->nextPendingConnection()) {
        if (m_peers >= MaxPeers) {
            peer->abort();
            peer->deleteLater();
            continue;
        }
        ++m_peers;
        connect(peer, &QObject::destroyed, this, [this] { --m_peers; });
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] { readPeer(peer); });
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        // A peer that connects and sends nothing must not stay for ever.
        QTimer::singleShot(PeerTimeoutMs, peer, [peer] {
            peer->abort();
            peer->deleteLater();
        });
        readPeer(peer);
    }
}

void XSingleInstance::readPeer(QLocalSocket *peer)
{
    if (peer->bytesAvailable() < 4)
        return;
    char head[4];
    peer->peek(head, 4);
    const quint32 length = qFromBigEndian<quint32>(head);
    if (length > quint32(MaxMessage)) {
        peer->abort();
        peer->deleteLater();
        return;
    }
    if (peer->bytesAvailable() < qint64(length) + 4)
        return;
    peer->read(4);
    const QJsonObject object = QJsonDocument::fromJson(peer->read(length)).object();
    const QJsonValue list = object.value(QStringLiteral("arguments"));
    const QJsonValue workdir = object.value(QStringLiteral("workdir"));
    bool valid = list.isArray() && workdir.isString();
    QStringList arguments;
    for (const QJsonValue &argument : list.toArray()) {
        valid = valid && argument.isString();
        arguments << argument.toString();
    }
    // Anything else on this connection is not read.
    disconnect(peer, &QLocalSocket::readyRead, this, nullptr);
    if (!valid) {
        peer->abort();
        peer->deleteLater();
        return;
    }
    peer->write(&kAnswer, 1);
    peer->flush();
    peer->disconnectFromServer();
    emit secondInstance(arguments, workdir.toString());
}
