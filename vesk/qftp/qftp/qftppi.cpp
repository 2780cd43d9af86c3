#include "qftppi.h"

#include "qftp.h"
#include "qftpdtp.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {

const qint64 ReadChunk = 64 * 1024;
// How long a second reply to an aborted transfer is awaited after a 2yz.
const int AbortGrace = 500;

}

QFtpPI::QFtpPI(QObject *parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this))
    , m_dtp(new QFtpDTP(this))
{
    m_socket->setObjectName(QStringLiteral("QFtpPI_socket"));
    // Replies are not read while a final reply waits for the data connection to close;
    // a bounded buffer lets TCP flow control hold back a server that keeps sending.
    m_socket->setReadBufferSize(QFtpReplyReader::MaxLineLength + ReadChunk);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &QFtpPI::connectTimedOut);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &QFtpPI::idleTimedOut);
    m_abortTimer.setSingleShot(true);
    connect(&m_abortTimer, &QTimer::timeout, this, &QFtpPI::abortTimedOut);
    connect(m_socket, &QTcpSocket::hostFound, this, &QFtpPI::hostFound);
    connect(m_socket, &QTcpSocket::connected, this, &QFtpPI::socketConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &QFtpPI::socketDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &QFtpPI::socketError);
    connect(m_socket, &QTcpSocket::readyRead, this, &QFtpPI::readyRead);
    connect(m_dtp, &QFtpDTP::connected, this, &QFtpPI::dtpConnected);
    connect(m_dtp, &QFtpDTP::connectFailed, this, &QFtpPI::dtpConnectFailed);
    connect(m_dtp, &QFtpDTP::connectionClosed, this, &QFtpPI::dtpConnectionClosed);
    connect(m_dtp, &QFtpDTP::dataTransferProgress, this, &QFtpPI::dtpActivity);
    connect(m_dtp, &QFtpDTP::connected, this, &QFtpPI::dtpActivity);
}

bool QFtpPI::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void QFtpPI::resetConnectionState()
{
    m_dtp->abortConnection();
    // A failed transfer's reason belongs to that transfer, not to the next connection's commands.
    m_dtp->clearError();
    m_idleTimer.stop();
    m_abortTimer.stop();
    m_reader.clear();
    m_pendingCommands.clear();
    m_currentCmd.clear();
    m_state = Begin;
    m_abortState = None;
    m_waitForDtpToConnect = false;
    m_waitForDtpToClose = false;
    m_rawCommand = false;
}

void QFtpPI::connectToHost(const QString &host, quint16 port)
{
    m_socket->blockSignals(true);
    m_socket->abort();
    m_socket->blockSignals(false);
    resetConnectionState();
    m_host = host;
    m_transferConnectionExtended = true;
    setUtf8(false);
    m_commandActive = true;
    m_connecting = true;
    emit connectState(QFtp::HostLookup);
    m_connectTimer.start(m_connectTimeout);
    m_socket->connectToHost(host, port);
}

void QFtpPI::closeConnection()
{
    m_commandActive = false;
    m_connecting = false;
    m_connectTimer.stop();
    resetConnectionState();
    m_socket->abort();
    emit connectState(QFtp::Unconnected);
}

bool QFtpPI::sendCommands(const QStringList &cmds)
{
    if (!isConnected())
        return false;
    m_pendingCommands = cmds;
    m_commandActive = true;
    m_cleared = false;
    // The data connection's last error belongs to the transfer that had it.
    m_dtp->clearError();
    m_idleTimer.start(m_transferTimeout);
    startNextCmd();
    return true;
}

void QFtpPI::clearPendingCommands()
{
    m_pendingCommands.clear();
    m_commandActive = false;
    m_connecting = false;
    m_cleared = true;
    m_idleTimer.stop();
    m_dtp->abortConnection();
    m_waitForDtpToConnect = false;
    if (m_waitForDtpToClose) {
        m_waitForDtpToClose = false;
        QTimer::singleShot(0, this, &QFtpPI::readyRead);
    }
    // A reply still owed to the dropped command must not be taken for the next one's.
    if (m_state == Waiting)
        enterAbort(WaitForAbortToFinish);
    if (m_state != Begin)
        m_state = Idle;
}

void QFtpPI::abort()
{
    const bool transfer = m_dtp->isActive() || m_waitForDtpToConnect;
    const bool finalReplyOwed = m_state == Waiting && !m_waitForDtpToClose;
    const bool heldReply = m_waitForDtpToClose;
    m_pendingCommands.clear();
    m_commandActive = false;
    m_idleTimer.stop();
    m_dtp->abortConnection();
    m_waitForDtpToConnect = false;
    m_waitForDtpToClose = false;
    if (!isConnected()) {
        m_state = Begin;
        return;
    }
    // RFC 959 ABOR: 426 for the service command and then 226 for ABOR, or only
    // 226 if the service command had completed; some servers send a 1yz first.
    if (transfer) {
        m_socket->write("ABOR\r\n");
        m_abortFinalOwed = finalReplyOwed;
        enterAbort(AbortStarted);
    } else if (finalReplyOwed) {
        enterAbort(WaitForAbortToFinish);
    }
    m_currentCmd.clear();
    m_state = Idle;
    if (heldReply)
        QTimer::singleShot(0, this, &QFtpPI::readyRead);
}

void QFtpPI::enterAbort(AbortState state)
{
    if (m_abortState == None || state == AbortStarted)
        m_abortState = state;
    // A server that never answers must not hold the queue for ever.
    m_abortTimer.start(m_abortTimeout);
}

void QFtpPI::endAbort()
{
    m_abortState = None;
    m_abortTimer.stop();
    if (!m_pendingCommands.isEmpty())
        startNextCmd();
}

void QFtpPI::abortTimedOut()
{
    if (m_abortState != None)
        endAbort();
}

void QFtpPI::idleTimedOut()
{
    if (!m_commandActive || m_connecting)
        return;
    // A reply may still come later and would answer the wrong command: the connection is given up.
    failProtocol(QStringLiteral("Timed out: no activity from the server for %1 s").arg(m_transferTimeout / 1000.0));
}

void QFtpPI::dtpActivity()
{
    if (m_commandActive && m_idleTimer.isActive())
        m_idleTimer.start(m_transferTimeout);
}

void QFtpPI::setUtf8(bool on)
{
    m_utf8 = on;
    m_reader.setUtf8(on);
    m_dtp->setUtf8(on);
}

void QFtpPI::parseFeatures(const QString &text)
{
    // RFC 2389: one feature per line, each indented by a space.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.trimmed().compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0) {
            // RFC 2640: the server takes and gives UTF-8 names; OPTS only confirms it, so its answer does not matter.
            setUtf8(true);
            m_pendingCommands.prepend(QStringLiteral("OPTS UTF8 ON\r\n"));
            return;
        }
    }
}

void QFtpPI::hostFound()
{
    emit connectState(QFtp::Connecting);
}

void QFtpPI::socketConnected()
{
    // The timer runs on until the greeting: a server that accepts and stays silent must not hang us.
    emit connectState(QFtp::Connected);
}

void QFtpPI::socketDisconnected()
{
    m_connectTimer.stop();
    readyRead();
    const bool active = m_commandActive;
    const bool wasQuit = m_currentCmd.startsWith(QLatin1String("QUIT"));
    m_commandActive = false;
    m_connecting = false;
    resetConnectionState();
    emit connectState(QFtp::Unconnected);
    if (!active)
        return;
    if (wasQuit)
        emit finished(QStringLiteral("Connection closed"));
    else
        emit error(QFtp::UnknownError, QStringLiteral("Connection closed"));
}

void QFtpPI::socketError()
{
    int code = QFtp::UnknownError;
    QString text;
    switch (m_socket->error()) {
    case QAbstractSocket::HostNotFoundError:
        code = QFtp::HostNotFound;
        text = QStringLiteral("Host %1 not found").arg(m_host);
        break;
    case QAbstractSocket::ConnectionRefusedError:
        code = QFtp::ConnectionRefused;
        text = QStringLiteral("Connection refused to host %1").arg(m_host);
        break;
    case QAbstractSocket::SocketTimeoutError:
        text = QStringLiteral("Connection timed out to host %1").arg(m_host);
        break;
    case QAbstractSocket::RemoteHostClosedError: return; // reported by socketDisconnected
    default: text = m_socket->errorString(); break;
    }
    if (!m_connecting && m_socket->state() == QAbstractSocket::ConnectedState)
        return;
    m_connectTimer.stop();
    m_idleTimer.stop();
    const bool active = m_commandActive;
    m_commandActive = false;
    m_connecting = false;
    emit connectState(QFtp::Unconnected);
    if (active)
        emit error(code, text);
}

void QFtpPI::connectTimedOut()
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_commandActive = false;
    m_socket->blockSignals(true);
    m_socket->abort();
    m_socket->blockSignals(false);
    resetConnectionState();
    emit connectState(QFtp::Unconnected);
    emit error(QFtp::UnknownError, QStringLiteral("Connection timed out to host %1").arg(m_host));
}

void QFtpPI::failProtocol(const QString &text)
{
    m_connectTimer.stop();
    const bool active = m_commandActive;
    m_commandActive = false;
    m_connecting = false;
    // The reply stream is out of step with our commands: the connection cannot be trusted.
    m_socket->blockSignals(true);
    m_socket->abort();
    m_socket->blockSignals(false);
    resetConnectionState();
    emit connectState(QFtp::Unconnected);
    if (active)
        emit error(QFtp::UnknownError, text);
}

void QFtpPI::readyRead()
{
    if (m_commandActive && m_idleTimer.isActive() && m_socket->bytesAvailable() > 0)
        m_idleTimer.start(m_transferTimeout);
    while (!m_waitForDtpToClose) {
        int code = 0;
        QString text;
        const QFtpReplyReader::Result result = m_reader.next(&code, &text);
        if (result == QFtpReplyReader::NeedMore) {
            if (m_socket->bytesAvailable() <= 0)
                return;
            m_reader.append(m_socket->read(ReadChunk));
            continue;
        }
        if (result != QFtpReplyReader::Reply) {
            failProtocol(m_reader.errorText());
            return;
        }
        m_replyCode = code;
        m_replyText = text;
        if (!processReply())
            return;
    }
}

bool QFtpPI::reportError(int code, const QString &text)
{
    m_cleared = false;
    emit error(code, text);
    return m_cleared;
}

bool QFtpPI::processReply()
{
    const int code = m_replyCode;
    const int kind = code / 100;

    // The final reply can overtake the data still in flight on the data connection.
    if ((code == 226 || (code == 250 && m_currentCmd.startsWith(QLatin1String("RETR")))) && m_dtp->isConnectionOpen()) {
        m_waitForDtpToClose = true;
        return false;
    }

    if (m_abortState != None) {
        // Preliminary replies, and the aborted transfer's own failure, come before the reply to ABOR.
        if (kind == 1)
            return true;
        if (m_abortState == AbortStarted && (code == 425 || code == 426 || code == 451)) {
            m_abortFinalOwed = false;
            return true;
        }
        if (m_abortState == AbortStarted && m_abortFinalOwed && kind == 2) {
            // Either the transfer had completed (the reply to ABOR follows) or this is
            // the only reply to ABOR: a second reply is awaited briefly, not for ever.
            m_abortFinalOwed = false;
            m_abortState = WaitForAbortToFinish;
            m_abortTimer.start(qMin(m_abortTimeout, AbortGrace));
            return true;
        }
        endAbort();
        return true;
    }

    switch (m_state) {
    case Begin:
        if (kind == 2) {
            m_state = Idle;
            m_connecting = false;
            m_connectTimer.stop();
            m_commandActive = false;
            emit finished(QStringLiteral("Connected to host %1").arg(m_socket->peerName()));
        } else if (kind == 4 || kind == 5) {
            // Refused greeting (for example 421): waiting would never end.
            failProtocol(m_replyText);
        }
        return true;
    case Waiting:
        if (code == 202) {
            m_state = Failure;
        } else {
            switch (kind) {
            case 1: m_state = Waiting; break;
            case 2: m_state = Success; break;
            case 3: m_state = Idle; break;
            default: m_state = Failure; break;
            }
        }
        break;
    default: return true;
    }

    emit rawFtpReply(code, m_replyText);

    QString failText;
    if (m_rawCommand) {
        m_rawCommand = false;
    } else if ((code == 227 || code == 229) && m_state == Success) {
        if (!connectPassive()) {
            failText = code == 227 ? QStringLiteral("Invalid address in passive mode reply: %1").arg(m_replyText)
                                   : QStringLiteral("Invalid port in extended passive mode reply: %1").arg(m_replyText);
            m_state = Failure;
        }
    } else if (code == 211 && m_currentCmd.startsWith(QLatin1String("FEAT"))) {
        parseFeatures(m_replyText);
    } else if (code == 230) {
        if (m_currentCmd.startsWith(QLatin1String("USER ")) && !m_pendingCommands.isEmpty()
            && m_pendingCommands.first().startsWith(QLatin1String("PASS "))) {
            m_pendingCommands.removeFirst();
        }
        emit connectState(QFtp::LoggedIn);
    } else if (code == 213 && m_currentCmd.startsWith(QLatin1String("SIZE "))) {
        bool ok = false;
        const qint64 total = m_replyText.simplified().toLongLong(&ok);
        m_dtp->setBytesTotal(ok && total >= 0 ? total : -1);
    } else if (kind == 1 && m_currentCmd.startsWith(QLatin1String("STOR "))) {
        m_dtp->startWriting();
    } else if (kind == 2
               && (m_currentCmd.startsWith(QLatin1String("RETR "))
                   || m_currentCmd.startsWith(QLatin1String("STOR ")))) {
        // The final reply alone proves nothing: the data must have moved too.
        m_dtp->checkComplete();
    }

    switch (m_state) {
    case Success: m_state = Idle; Q_FALLTHROUGH();
    case Idle:
        if (m_dtp->hasError()) {
            const QString message = m_dtp->errorMessage();
            m_dtp->clearError();
            if (reportError(QFtp::UnknownError, message))
                return true;
        }
        startNextCmd();
        break;
    case Waiting: break;
    case Failure:
        if (failText.isEmpty() && m_currentCmd.startsWith(QLatin1String("EPSV"))) {
            m_transferConnectionExtended = false;
            m_pendingCommands.prepend(QStringLiteral("PASV\r\n"));
        } else if (failText.isEmpty() && m_currentCmd.startsWith(QLatin1String("EPRT"))) {
            m_transferConnectionExtended = false;
            m_pendingCommands.prepend(QStringLiteral("PORT\r\n"));
        } else {
            QString message = failText.isEmpty() ? m_replyText : failText;
            if (m_dtp->hasError()) {
                // Our own reason (a local write failed, ...) explains the server's refusal.
                message = m_dtp->errorMessage();
                m_dtp->clearError();
            }
            if (reportError(QFtp::UnknownError, message))
                return true;
        }
        m_state = Idle;
        startNextCmd();
        break;
    default: break;
    }
    return true;
}

bool QFtpPI::connectPassive()
{
    quint32 port = 0;
    if (m_replyCode == 227) {
        static const QRegularExpression numbers(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
        const QRegularExpressionMatch m = numbers.match(m_replyText);
        if (!m.hasMatch())
            return false;
        quint32 values[6];
        for (int i = 0; i < 6; ++i) {
            bool ok = false;
            values[i] = m.captured(i + 1).toUInt(&ok);
            if (!ok || values[i] > 255)
                return false;
        }
        port = values[4] * 256 + values[5];
    } else {
        // RFC 2428: "(<d><d><d><port><d>)", the delimiter being the first character.
        const int open = m_replyText.indexOf(QLatin1Char('('));
        if (open < 0 || open + 1 >= m_replyText.size())
            return false;
        const QString rest = m_replyText.mid(open + 1);
        const QStringList parts = rest.split(rest.at(0));
        if (parts.size() < 4)
            return false;
        bool ok = false;
        port = parts.at(3).toUInt(&ok);
        if (!ok || port > 65535)
            return false;
    }
    if (port == 0)
        return false;
    // The data connection goes to the server we talk to, whatever host a 227 names.
    m_waitForDtpToConnect = true;
    m_dtp->connectToHost(m_socket->peerAddress(), quint16(port));
    return true;
}

bool QFtpPI::isIPv6Local(QHostAddress *local) const
{
    QHostAddress address = m_socket->localAddress();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        *local = QHostAddress(v4);
        return false;
    }
    address.setScopeId(QString());
    *local = address;
    return true;
}

void QFtpPI::startNextCmd()
{
    if (m_waitForDtpToConnect || m_abortState != None)
        return;
    if (m_pendingCommands.isEmpty()) {
        m_currentCmd.clear();
        m_idleTimer.stop();
        if (m_commandActive) {
            m_commandActive = false;
            emit finished(m_replyText);
        }
        return;
    }

    QString cmd = m_pendingCommands.takeFirst();
    m_currentCmd = cmd;
    QHostAddress local;
    const bool ipv6 = isIPv6Local(&local);
    if (cmd.startsWith(QLatin1String("PORT"))) {
        if (ipv6 && !m_transferConnectionExtended) {
            reportError(QFtp::UnknownError,
                        QStringLiteral("Active mode over IPv6 needs EPRT, which the server refused"));
            return;
        }
        const quint16 port = m_dtp->setupListener(local, m_socket->peerAddress());
        if (port == 0) {
            const QString message = m_dtp->errorMessage();
            m_dtp->clearError();
            reportError(QFtp::UnknownError, QStringLiteral("Cannot listen for the data connection: %1").arg(message));
            return;
        }
        if (ipv6) {
            cmd = QStringLiteral("EPRT |2|%1|%2|\r\n").arg(local.toString()).arg(port);
        } else {
            const quint32 ip = local.toIPv4Address();
            cmd = QStringLiteral("PORT %1,%2,%3,%4,%5,%6\r\n")
                      .arg((ip >> 24) & 0xff)
                      .arg((ip >> 16) & 0xff)
                      .arg((ip >> 8) & 0xff)
                      .arg(ip & 0xff)
                      .arg((port >> 8) & 0xff)
                      .arg(port & 0xff);
        }
    } else if (cmd.startsWith(QLatin1String("PASV")) && ipv6 && m_transferConnectionExtended) {
        cmd = QStringLiteral("EPSV\r\n");
    }
    m_currentCmd = cmd;
    m_state = Waiting;
    m_idleTimer.start(m_transferTimeout);
    m_socket->write(m_utf8 ? cmd.toUtf8() : cmd.toLatin1());
}

void QFtpPI::dtpConnected()
{
    if (!m_waitForDtpToConnect)
        return;
    m_waitForDtpToConnect = false;
    if (m_state == Idle)
        startNextCmd();
}

void QFtpPI::dtpConnectFailed()
{
    if (!m_waitForDtpToConnect)
        return;
    m_waitForDtpToConnect = false;
    const QString message = m_dtp->errorMessage();
    m_dtp->clearError();
    if (!reportError(QFtp::UnknownError, message))
        startNextCmd();
}

void QFtpPI::dtpConnectionClosed()
{
    if (!m_waitForDtpToClose)
        return;
    m_waitForDtpToClose = false;
    if (processReply())
        readyRead();
}
