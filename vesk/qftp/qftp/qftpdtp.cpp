#include "qftpdtp.h"

#include <QDate>
#include <QFileInfo>
#include <QHostAddress>
#include <QIODevice>
#include <QLocale>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Large blocks: each one costs a trip through the event loop and a system call.
const qint64 ChunkSize = 1024 * 1024;
// Keeps memory flat on fast links: refill only when the socket has drained this far.
const qint64 MaxPendingWrite = 4 * 1024 * 1024;

QDateTime parseUnixDate(const QString &text)
{
    static const char *const formats[] = {
        "MMM dd yyyy",
        "MMM  d yyyy",
        "MMM  d hh:mm",
        "MMM  d  yyyy",
        "MMM dd hh:mm",
        "MMM dd  yyyy",
        // Some servers pad neither way.
        "MMM d yyyy",
        "MMM d hh:mm",
    };
    const QLocale c = QLocale::c();
    for (const char *f : formats) {
        const QString format = QLatin1String(f);
        if (!format.contains(QLatin1String("yyyy"))) {
            // No year given: the most recent such date that is not in the future.
            const int year = QDate::currentDate().year();
            const QDateTime limit = QDateTime::currentDateTime().addSecs(86400);
            for (int y = year; y >= year - 1; --y) {
                const QDateTime dt =
                    c.toDateTime(QString::number(y) + QLatin1Char(' ') + text, QStringLiteral("yyyy ") + format);
                if (dt.isValid() && dt <= limit)
                    return dt;
            }
            continue;
        }
        const QDateTime dt = c.toDateTime(text, format);
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

// The name starts after the one space that follows the date, so names that
// begin with spaces keep them.
bool parseUnixLine(const QString &line, const QString &userName, QUrlInfo *info)
{
    static const QRegularExpression unixLine(QStringLiteral(
        "^([\\-dl])([a-zA-Z\\-]{9,9})\\s+\\d+\\s+(\\S*)\\s+(\\S*)\\s+(\\d+)\\s+(\\S+\\s+\\S+\\s+\\S+) (.+)$"));
    const QRegularExpressionMatch m = unixLine.match(line);
    if (!m.hasMatch())
        return false;

    bool sizeOk = false;
    const qint64 size = m.captured(5).toLongLong(&sizeOk);
    if (!sizeOk)
        return false;

    QUrlInfo entry;
    const QChar kind = m.captured(1).at(0);
    QString name = m.captured(7);
    if (kind == QLatin1Char('d')) {
        entry.setDir(true);
        entry.setFile(false);
    } else if (kind == QLatin1Char('l')) {
        entry.setDir(true);
        entry.setFile(false);
        entry.setSymLink(true);
        const int arrow = name.indexOf(QLatin1String(" ->"));
        if (arrow >= 0)
            name.truncate(arrow);
    }
    entry.setName(name);
    entry.setOwner(m.captured(3));
    entry.setGroup(m.captured(4));
    entry.setSize(size);

    const QString perms = m.captured(2);
    static const int bits[9] = {
        QUrlInfo::ReadOwner, QUrlInfo::WriteOwner, QUrlInfo::ExeOwner,   QUrlInfo::ReadGroup, QUrlInfo::WriteGroup,
        QUrlInfo::ExeGroup,  QUrlInfo::ReadOther,  QUrlInfo::WriteOther, QUrlInfo::ExeOther,
    };
    int permissions = 0;
    for (int i = 0; i < 9; ++i) {
        const QChar ch = perms.at(i);
        const int slot = i % 3;
        // 's' and 't' carry the execute bit; 'S' and 'T' do not.
        const bool on = slot == 0 ? ch == QLatin1Char('r')
            : slot == 1           ? ch == QLatin1Char('w')
                                  : (ch == QLatin1Char('x') || ch == QLatin1Char('s') || ch == QLatin1Char('t'));
        if (on)
            permissions |= bits[i];
    }
    entry.setPermissions(permissions);

    // Judge access by the owner bits when we are the owner, else by the bits for others.
    const bool mine = userName.isEmpty() || userName == entry.owner();
    entry.setReadable(permissions & (mine ? QUrlInfo::ReadOwner : QUrlInfo::ReadOther));
    entry.setWritable(permissions & (mine ? QUrlInfo::WriteOwner : QUrlInfo::WriteOther));
    entry.setExecutable(permissions & (mine ? QUrlInfo::ExeOwner : QUrlInfo::ExeOther));

    QString date = m.captured(6);
    date[0] = date.at(0).toUpper();
    const QDateTime modified = parseUnixDate(date);
    entry.setLastModified(modified);
    entry.setLastRead(modified);

    *info = entry;
    return true;
}

bool parseDosLine(const QString &line, QUrlInfo *info)
{
    static const QRegularExpression dosLine(
        QStringLiteral("^(\\d\\d-\\d\\d-\\d\\d\\d?\\d?\\ \\ \\d\\d:\\d\\d[AP]M)\\s+(<DIR>|\\d+)\\s+(\\S.*)$"));
    const QRegularExpressionMatch m = dosLine.match(line);
    if (!m.hasMatch())
        return false;

    QUrlInfo entry;
    const QString name = m.captured(3);
    entry.setName(name);
    if (m.captured(2) == QLatin1String("<DIR>")) {
        entry.setDir(true);
        entry.setFile(false);
    } else {
        bool ok = false;
        const qint64 size = m.captured(2).toLongLong(&ok);
        if (!ok)
            return false;
        entry.setSize(size);
    }
    const QString ext = QFileInfo(name).suffix().toLower();
    if (ext == QLatin1String("lnk"))
        entry.setSymLink(true);
    const bool exe = ext == QLatin1String("exe") || ext == QLatin1String("bat") || ext == QLatin1String("com");
    entry.setPermissions(exe ? 0777 : 0666);
    entry.setExecutable(exe);

    const QLocale c = QLocale::c();
    QDateTime dt = c.toDateTime(m.captured(1), QStringLiteral("MM-dd-yy  hh:mmAP"));
    if (!dt.isValid())
        dt = c.toDateTime(m.captured(1), QStringLiteral("MM-dd-yyyy  hh:mmAP"));
    if (dt.isValid() && dt.date().year() < 1971)
        dt = dt.addYears(100);
    entry.setLastModified(dt);
    entry.setLastRead(dt);

    *info = entry;
    return true;
}

}

QFtpDTP::QFtpDTP(QObject *parent)
    : QObject(parent)
{
}

QFtpDTP::~QFtpDTP() = default;

bool QFtpDTP::parseDir(const QString &line, const QString &userName, QUrlInfo *info)
{
    if (line.isEmpty() || line == QLatin1String("No such file or directory"))
        return false;
    return parseUnixLine(line, userName, info) || parseDosLine(line, info);
}

void QFtpDTP::startTransfer()
{
    abortConnection();
    m_device = nullptr;
    m_data.clear();
    m_hasData = false;
    m_dataPos = 0;
    m_isListing = false;
    m_isUpload = false;
    m_connectionMade = false;
    m_binary = true;
    m_writeRequested = false;
    m_writeFinished = false;
    m_bytesDone = 0;
    m_bytesTotal = -1;
    m_errorMessage.clear();
    m_readBuffer.clear();
    m_lineBuffer.clear();
}

void QFtpDTP::setData(const QByteArray &data)
{
    m_data = data;
    m_hasData = true;
}

void QFtpDTP::connectToHost(const QHostAddress &address, quint16 port)
{
    dropSocket();
    auto *socket = new QTcpSocket(this);
    socket->setObjectName(QStringLiteral("QFtpDTP Passive state socket"));
    setupSocket(socket);
    m_passiveConnecting = true;
    connect(socket, &QTcpSocket::connected, this, &QFtpDTP::socketConnected);
    socket->connectToHost(address, port);
}

quint16 QFtpDTP::setupListener(const QHostAddress &address, const QHostAddress &peer)
{
    dropSocket();
    m_expectedPeer = peer;
    delete m_listener;
    m_listener = new QTcpServer(this);
    m_listener->setObjectName(QStringLiteral("QFtpDTP active state server"));
    connect(m_listener, &QTcpServer::newConnection, this, &QFtpDTP::newConnection);
    if (!m_listener->listen(address, 0)) {
        m_errorMessage = m_listener->errorString();
        delete m_listener;
        m_listener = nullptr;
        return 0;
    }
    return m_listener->serverPort();
}

void QFtpDTP::startWriting()
{
    m_writeRequested = true;
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        writeMore();
}

bool QFtpDTP::isConnectionOpen()
{
    // The server may connect, send and close before we saw the connection:
    // take it from the accept queue so its data are not lost.
    if (!m_socket && m_listener && m_listener->isListening())
        m_listener->waitForNewConnection(0);
    return m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
}

bool QFtpDTP::isActive() const
{
    return m_socket || m_listener;
}

void QFtpDTP::abortConnection()
{
    dropSocket();
    if (m_listener) {
        m_listener->disconnect(this);
        m_listener->close();
        m_listener->deleteLater();
        m_listener = nullptr;
    }
    if (m_device)
        m_device->disconnect(this);
}

void QFtpDTP::dropSocket()
{
    ++m_serial;
    m_passiveConnecting = false;
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

qint64 QFtpDTP::read(char *data, qint64 maxlen)
{
    const qint64 n = qMin<qint64>(maxlen, m_readBuffer.size());
    if (n <= 0)
        return 0;
    memcpy(data, m_readBuffer.constData(), size_t(n));
    m_readBuffer.remove(0, int(n));
    return n;
}

QByteArray QFtpDTP::readAll()
{
    QByteArray all;
    all.swap(m_readBuffer);
    return all;
}

void QFtpDTP::setupSocket(QTcpSocket *socket)
{
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, &QFtpDTP::socketReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &QFtpDTP::socketBytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this, &QFtpDTP::socketError);
    connect(socket, &QTcpSocket::disconnected, this, &QFtpDTP::socketDisconnected);
}

void QFtpDTP::socketConnected()
{
    m_passiveConnecting = false;
    m_connectionMade = true;
    emit connected();
    if (m_writeRequested)
        writeMore();
}

void QFtpDTP::newConnection()
{
    if (!m_listener)
        return;
    QTcpSocket *socket = nullptr;
    while ((socket = m_listener->nextPendingConnection())) {
        // Only the server may supply or take the file; anyone else who found the port is turned away.
        if (socket->peerAddress().isEqual(m_expectedPeer, QHostAddress::TolerantConversion))
            break;
        socket->abort();
        socket->deleteLater();
    }
    if (!socket)
        return;
    // One data connection per transfer; later ones are not ours.
    m_listener->disconnect(this);
    m_listener->close();
    m_listener->deleteLater();
    m_listener = nullptr;
    dropSocket();
    socket->setParent(this);
    socket->setObjectName(QStringLiteral("QFtpDTP Active state socket"));
    setupSocket(socket);
    m_connectionMade = true;
    emit connected();
    if (m_writeRequested)
        writeMore();
    if (m_socket == socket && socket->bytesAvailable() > 0)
        socketReadyRead();
}

void QFtpDTP::socketReadyRead()
{
    // One buffer for the whole transfer: a fresh large allocation per read costs more than the copy.
    if (m_chunk.size() != ChunkSize)
        m_chunk.resize(int(ChunkSize));
    const quint64 serial = m_serial;
    while (m_socket && m_socket->bytesAvailable() > 0) {
        const qint64 n = m_socket->read(m_chunk.data(), ChunkSize);
        if (n <= 0)
            break;
        m_bytesDone += n;
        if (m_isListing) {
            if (!feedListing(QByteArray::fromRawData(m_chunk.constData(), int(n)))) {
                failTransfer(QStringLiteral("Listing line longer than %1 bytes").arg(MaxListLineLength));
                return;
            }
        } else if (m_device) {
            if (m_device->write(m_chunk.constData(), n) != n) {
                failTransfer(QStringLiteral("Writing the local file failed: %1").arg(m_device->errorString()));
                return;
            }
        } else {
            m_readBuffer.append(m_chunk.constData(), int(n));
            emit readyRead();
        }
        // Slots of listInfo and readyRead may abort the transfer.
        if (m_serial != serial)
            return;
        emit dataTransferProgress(m_bytesDone, m_bytesTotal);
    }
}

void QFtpDTP::writeMore()
{
    if (!m_socket || m_writeFinished)
        return;
    while (m_socket->bytesToWrite() < MaxPendingWrite) {
        QByteArray chunk;
        bool atEnd = false;
        if (m_hasData) {
            chunk = m_data.mid(int(m_dataPos), int(ChunkSize));
            m_dataPos += chunk.size();
            atEnd = m_dataPos >= m_data.size();
        } else if (m_device) {
            if (m_chunk.size() != ChunkSize)
                m_chunk.resize(int(ChunkSize));
            const qint64 n = m_device->read(m_chunk.data(), ChunkSize);
            if (n < 0) {
                failTransfer(QStringLiteral("Reading the local file failed: %1").arg(m_device->errorString()));
                return;
            }
            chunk = QByteArray::fromRawData(m_chunk.constData(), int(n));
            if (n == 0) {
                if (!m_device->atEnd() && m_device->isSequential()) {
                    // More will come; wait for the device.
                    connect(m_device.data(), &QIODevice::readyRead, this, &QFtpDTP::deviceReadyRead,
                            Qt::UniqueConnection);
                    connect(m_device.data(), &QIODevice::readChannelFinished, this, &QFtpDTP::deviceReadyRead,
                            Qt::UniqueConnection);
                    return;
                }
                atEnd = true;
            }
        } else {
            atEnd = true;
        }
        if (!chunk.isEmpty()) {
            if (m_socket->write(chunk.constData(), chunk.size()) != chunk.size()) {
                failTransfer(QStringLiteral("Writing to the data connection failed: %1").arg(m_socket->errorString()));
                return;
            }
            m_bytesDone += chunk.size();
            const quint64 serial = m_serial;
            emit dataTransferProgress(m_bytesDone, m_bytesTotal);
            // A progress slot may have aborted the transfer (and dropped the socket).
            if (m_serial != serial)
                return;
        }
        if (atEnd) {
            m_writeFinished = true;
            // Closing the data connection is what tells the server the file is complete.
            m_socket->disconnectFromHost();
            return;
        }
    }
}

void QFtpDTP::deviceReadyRead()
{
    writeMore();
}

void QFtpDTP::socketBytesWritten()
{
    if (m_writeRequested)
        writeMore();
}

void QFtpDTP::socketError()
{
    if (!m_socket)
        return;
    if (m_passiveConnecting) {
        m_passiveConnecting = false;
        m_errorMessage = QStringLiteral("Connection refused for data connection");
        dropSocket();
        emit connectFailed();
        return;
    }
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    if (m_errorMessage.isEmpty())
        m_errorMessage = m_socket->errorString();
    finishConnection();
}

void QFtpDTP::socketDisconnected()
{
    finishConnection();
}

void QFtpDTP::failTransfer(const QString &message)
{
    if (m_errorMessage.isEmpty())
        m_errorMessage = message;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    emit connectionClosed();
}

void QFtpDTP::finishConnection()
{
    if (!m_socket)
        return;
    socketReadyRead();
    if (!m_socket)
        return;
    if (m_isListing) {
        finishListing();
        // A listInfo slot may have aborted the transfer.
        if (!m_socket)
            return;
    }
    checkComplete();
    m_socket->disconnect(this);
    m_socket->deleteLater();
    m_socket = nullptr;
    emit connectionClosed();
}

void QFtpDTP::checkComplete()
{
    if (!m_errorMessage.isEmpty() || m_isListing)
        return;
    // A server that claims success without ever connecting (active mode) moved nothing.
    if (!m_connectionMade) {
        m_errorMessage = QStringLiteral("The server did not open the data connection");
    } else if (m_isUpload) {
        if (!m_writeFinished)
            m_errorMessage = QStringLiteral("Data connection closed after %1 bytes of the upload").arg(m_bytesDone);
    } else if (m_binary && m_bytesTotal >= 0 && m_bytesDone < m_bytesTotal) {
        // ASCII mode may change line ends, so only a binary size can be held to SIZE.
        m_errorMessage =
            QStringLiteral("Data connection closed after %1 of %2 bytes").arg(m_bytesDone).arg(m_bytesTotal);
    }
}

bool QFtpDTP::feedListing(const QByteArray &chunk)
{
    m_lineBuffer.append(chunk);
    const quint64 serial = m_serial;
    int start = 0;
    for (;;) {
        const int eol = m_lineBuffer.indexOf('\n', start);
        if (eol < 0)
            break;
        if (eol - start > MaxListLineLength) {
            m_lineBuffer.clear();
            return false;
        }
        parseListLine(m_lineBuffer.mid(start, eol - start));
        start = eol + 1;
        if (m_serial != serial) {
            // Aborted from a listInfo slot: the rest belongs to no one.
            m_lineBuffer.clear();
            return true;
        }
    }
    m_lineBuffer.remove(0, start);
    if (m_lineBuffer.size() > MaxListLineLength) {
        m_lineBuffer.clear();
        return false;
    }
    return true;
}

void QFtpDTP::finishListing()
{
    if (!m_lineBuffer.isEmpty())
        parseListLine(m_lineBuffer);
    m_lineBuffer.clear();
}

void QFtpDTP::parseListLine(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    // Names are decoded as they are sent, so a listed name can be sent back unchanged.
    QUrlInfo info;
    if (parseDir(m_utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line), m_userName, &info))
        emit listInfo(info);
}
