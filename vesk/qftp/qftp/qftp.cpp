#include "qftp.h"

#include "qftpcommand.h"
#include "qftpdtp.h"
#include "qftplogging.h"
#include "qftppi.h"

#include <QIODevice>
#include <QTimer>

namespace {

QString failurePrefix(QFtp::Command type)
{
    switch (type) {
    case QFtp::ConnectToHost: return QStringLiteral("Connecting to host failed:\n%1");
    case QFtp::Login: return QStringLiteral("Login failed:\n%1");
    case QFtp::List: return QStringLiteral("Listing directory failed:\n%1");
    case QFtp::Cd: return QStringLiteral("Changing directory failed:\n%1");
    case QFtp::Get: return QStringLiteral("Downloading file failed:\n%1");
    case QFtp::Put: return QStringLiteral("Uploading file failed:\n%1");
    case QFtp::Remove: return QStringLiteral("Removing file failed:\n%1");
    case QFtp::Mkdir: return QStringLiteral("Creating directory failed:\n%1");
    case QFtp::Rmdir: return QStringLiteral("Removing directory failed:\n%1");
    default: return QStringLiteral("%1");
    }
}

// A name carrying CR or LF would end the line early and smuggle in a command of
// the server's choosing (RFC 959 lines end with CRLF); NUL cuts names short.
// Without UTF-8 a character beyond Latin-1 would be sent as "?" and could name
// another file.
bool hasInvalidChar(const QStringList &lines, bool utf8)
{
    for (const QString &line : lines) {
        const int end = line.endsWith(QLatin1String("\r\n")) ? line.size() - 2 : line.size();
        for (int i = 0; i < end; ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
                return true;
            if (!utf8 && c.unicode() > 0xff)
                return true;
        }
    }
    return false;
}

QString typeLine(QFtp::TransferType type)
{
    return type == QFtp::Binary ? QStringLiteral("TYPE I\r\n") : QStringLiteral("TYPE A\r\n");
}

}

QFtp::QFtp(QObject *parent)
    : QObject(parent)
    , m_pi(new QFtpPI(this))
    , m_errorString(QStringLiteral("Unknown error"))
{
    qRegisterMetaType<QUrlInfo>();
    connect(m_pi, &QFtpPI::finished, this, &QFtp::piFinished);
    connect(m_pi, &QFtpPI::error, this, &QFtp::piError);
    connect(m_pi, &QFtpPI::connectState, this, &QFtp::piConnectState);
    connect(m_pi, &QFtpPI::rawFtpReply, this, &QFtp::piFtpReply);
    QFtpDTP *dtp = m_pi->dtp();
    connect(dtp, &QFtpDTP::listInfo, this, &QFtp::listInfo);
    connect(dtp, &QFtpDTP::readyRead, this, &QFtp::readyRead);
    connect(dtp, &QFtpDTP::dataTransferProgress, this, &QFtp::dataTransferProgress);
}

QFtp::~QFtp()
{
    dropAll();
}

int QFtp::addCommand(QFtpCommand *cmd)
{
    m_pending.emplace_back(cmd);
    if (m_pending.size() == 1)
        QTimer::singleShot(0, this, &QFtp::startNextCommand);
    return cmd->m_id;
}

QString QFtp::transferLine() const
{
    return m_transferMode == Passive ? QStringLiteral("PASV\r\n") : QStringLiteral("PORT\r\n");
}

int QFtp::setProxy(const QString &host, quint16 port)
{
    m_proxyHost = host;
    m_proxyPort = port;
    return addCommand(new QFtpCommand(SetProxy, QStringList()));
}

int QFtp::setTransferMode(TransferMode mode)
{
    m_transferMode = mode;
    return addCommand(new QFtpCommand(SetTransferMode, QStringList()));
}

int QFtp::connectToHost(const QString &host, quint16 port)
{
    m_host = host;
    auto *cmd = new QFtpCommand(ConnectToHost, QStringList());
    cmd->m_host = host;
    cmd->m_port = port;
    return addCommand(cmd);
}

int QFtp::login(const QString &user, const QString &password)
{
    QString name = user.isNull() ? QStringLiteral("anonymous") : user;
    // An FTP proxy learns the real server from the user name (user@host).
    if (!m_proxyHost.isEmpty())
        name += QLatin1Char('@') + m_host;
    const QString pass = password.isNull() ? QStringLiteral("anonymous@") : password;
    // FEAT tells whether the server takes UTF-8 names (RFC 2389, RFC 2640).
    return addCommand(new QFtpCommand(Login,
                                      QStringList() << QStringLiteral("USER ") + name + QStringLiteral("\r\n")
                                                    << QStringLiteral("PASS ") + pass + QStringLiteral("\r\n")
                                                    << QStringLiteral("FEAT\r\n")));
}

int QFtp::close()
{
    return addCommand(new QFtpCommand(Close, QStringList(QStringLiteral("QUIT\r\n"))));
}

int QFtp::list(const QString &dir)
{
    QStringList lines;
    lines << QStringLiteral("TYPE A\r\n") << transferLine();
    lines << (dir.isEmpty() ? QStringLiteral("LIST\r\n") : QStringLiteral("LIST ") + dir + QStringLiteral("\r\n"));
    return addCommand(new QFtpCommand(List, lines));
}

int QFtp::cd(const QString &dir)
{
    return addCommand(new QFtpCommand(Cd, QStringList(QStringLiteral("CWD ") + dir + QStringLiteral("\r\n"))));
}

int QFtp::get(const QString &file, QIODevice *dev, TransferType type)
{
    QStringList lines;
    lines << typeLine(type) << QStringLiteral("SIZE ") + file + QStringLiteral("\r\n") << transferLine()
          << QStringLiteral("RETR ") + file + QStringLiteral("\r\n");
    auto *cmd = new QFtpCommand(Get, lines);
    cmd->m_device = dev;
    cmd->m_transferType = type;
    return addCommand(cmd);
}

int QFtp::put(const QByteArray &data, const QString &file, TransferType type)
{
    QStringList lines;
    lines << typeLine(type) << transferLine()
          << QStringLiteral("ALLO ") + QString::number(data.size()) + QStringLiteral("\r\n")
          << QStringLiteral("STOR ") + file + QStringLiteral("\r\n");
    auto *cmd = new QFtpCommand(Put, lines);
    cmd->m_data = data;
    cmd->m_hasData = true;
    cmd->m_transferType = type;
    return addCommand(cmd);
}

int QFtp::put(QIODevice *dev, const QString &file, TransferType type)
{
    QStringList lines;
    lines << typeLine(type) << transferLine();
    if (dev && !dev->isSequential())
        lines << QStringLiteral("ALLO ") + QString::number(dev->size()) + QStringLiteral("\r\n");
    lines << QStringLiteral("STOR ") + file + QStringLiteral("\r\n");
    auto *cmd = new QFtpCommand(Put, lines);
    cmd->m_device = dev;
    cmd->m_transferType = type;
    return addCommand(cmd);
}

int QFtp::remove(const QString &file)
{
    return addCommand(new QFtpCommand(Remove, QStringList(QStringLiteral("DELE ") + file + QStringLiteral("\r\n"))));
}

int QFtp::mkdir(const QString &dir)
{
    return addCommand(new QFtpCommand(Mkdir, QStringList(QStringLiteral("MKD ") + dir + QStringLiteral("\r\n"))));
}

int QFtp::rmdir(const QString &dir)
{
    return addCommand(new QFtpCommand(Rmdir, QStringList(QStringLiteral("RMD ") + dir + QStringLiteral("\r\n"))));
}

int QFtp::rename(const QString &oldname, const QString &newname)
{
    return addCommand(new QFtpCommand(Rename,
                                      QStringList() << QStringLiteral("RNFR ") + oldname + QStringLiteral("\r\n")
                                                    << QStringLiteral("RNTO ") + newname + QStringLiteral("\r\n")));
}

int QFtp::rawCommand(const QString &command)
{
    return addCommand(new QFtpCommand(RawCommand, QStringList(command.trimmed() + QStringLiteral("\r\n"))));
}

void QFtp::setConnectTimeout(int msecs)
{
    m_pi->setConnectTimeout(msecs);
}

int QFtp::connectTimeout() const
{
    return m_pi->connectTimeout();
}

void QFtp::setTransferTimeout(int msecs)
{
    m_pi->setTransferTimeout(qMax(1, msecs));
}

int QFtp::transferTimeout() const
{
    return m_pi->transferTimeout();
}

qint64 QFtp::bytesAvailable() const
{
    return m_pi->dtp()->bytesAvailable();
}

qint64 QFtp::read(char *data, qint64 maxlen)
{
    return m_pi->dtp()->read(data, maxlen);
}

QByteArray QFtp::readAll()
{
    return m_pi->dtp()->readAll();
}

int QFtp::currentId() const
{
    return m_pending.empty() ? 0 : m_pending.front()->m_id;
}

QIODevice *QFtp::currentDevice() const
{
    return m_pending.empty() ? nullptr : m_pending.front()->m_device.data();
}

QFtp::Command QFtp::currentCommand() const
{
    return m_pending.empty() ? None : m_pending.front()->m_type;
}

bool QFtp::hasPendingCommands() const
{
    return m_pending.size() > 1;
}

void QFtp::clearPendingCommands()
{
    while (m_pending.size() > 1)
        m_pending.pop_back();
}

void QFtp::dropAll()
{
    for (const auto &cmd : m_pending) {
        if (cmd->m_openedDevice && cmd->m_device)
            cmd->m_device->close();
    }
    m_pending.clear();
    m_runningId = 0;
}

void QFtp::startNextCommand()
{
    if (m_pending.empty())
        return;
    QFtpCommand *cmd = m_pending.front().get();
    const int id = cmd->m_id;
    if (m_runningId == id)
        return;
    m_runningId = id;
    m_error = NoError;
    m_errorString = QStringLiteral("Unknown error");
    emit commandStarted(id);
    // A slot may have aborted it.
    if (m_runningId != id || m_pending.empty() || m_pending.front().get() != cmd)
        return;
    if (hasInvalidChar(cmd->m_lines, m_pi->isUtf8())) {
        failRunning(UnknownError, QStringLiteral("Invalid character in name"));
        return;
    }

    QFtpDTP *dtp = m_pi->dtp();
    switch (cmd->m_type) {
    case None:
    case SetTransferMode:
    case SetProxy: finishLater(id); return;
    case ConnectToHost:
        if (!m_proxyHost.isEmpty())
            m_pi->connectToHost(m_proxyHost, m_proxyPort);
        else
            m_pi->connectToHost(cmd->m_host, cmd->m_port);
        return;
    case Close:
        m_closePending = true;
        if (!m_pi->isConnected()) {
            // Nothing to close.
            m_pi->closeConnection();
            finishLater(id);
            return;
        }
        piConnectState(Closing);
        break;
    case List:
        dtp->startTransfer();
        dtp->setListing();
        break;
    case Get:
        if (cmd->m_device && !(cmd->m_device->isOpen() && cmd->m_device->isWritable())) {
            failRunning(UnknownError, QStringLiteral("The local file is not open for writing"));
            return;
        }
        dtp->startTransfer();
        dtp->setDevice(cmd->m_device);
        dtp->setBinary(cmd->m_transferType == Binary);
        break;
    case Put:
        dtp->startTransfer();
        dtp->setUpload();
        if (cmd->m_hasData) {
            dtp->setData(cmd->m_data);
            dtp->setBytesTotal(cmd->m_data.size());
        } else {
            if (!cmd->m_device) {
                failRunning(UnknownError, QStringLiteral("No local file to upload"));
                return;
            }
            if (!cmd->m_device->isOpen()) {
                if (!cmd->m_device->open(QIODevice::ReadOnly)) {
                    failRunning(UnknownError,
                                QStringLiteral("Cannot open the local file: %1").arg(cmd->m_device->errorString()));
                    return;
                }
                cmd->m_openedDevice = true;
            } else if (!cmd->m_device->isReadable()) {
                failRunning(UnknownError, QStringLiteral("The local file is not open for reading"));
                return;
            }
            dtp->setDevice(cmd->m_device);
            dtp->setBytesTotal(cmd->m_device->isSequential() ? -1 : cmd->m_device->size());
        }
        dtp->setBinary(cmd->m_transferType == Binary);
        break;
    case RawCommand: m_pi->setRawCommand(true); break;
    default: break;
    }
    if (!m_pi->sendCommands(cmd->m_lines))
        failRunning(NotConnected, QStringLiteral("Not connected"));
}

void QFtp::finishLater(int id)
{
    QTimer::singleShot(0, this, [this, id]() {
        if (m_runningId == id)
            piFinished(QString());
    });
}

void QFtp::piFinished(const QString &)
{
    // A late report for a command that already ended is not ours to pass on.
    if (m_pending.empty() || m_runningId != m_pending.front()->m_id)
        return;
    std::unique_ptr<QFtpCommand> cmd = std::move(m_pending.front());
    m_pending.pop_front();
    const int id = cmd->m_id;
    m_runningId = 0;
    if (cmd->m_type == Close) {
        m_closePending = false;
        m_pi->closeConnection();
    }
    if (cmd->m_openedDevice && cmd->m_device)
        cmd->m_device->close();
    cmd.reset();
    const quint64 failures = m_failures;
    emit commandFinished(id, false);
    // A slot that aborted has ended the queue and reported done already.
    if (m_failures != failures)
        return;
    if (m_pending.empty())
        emit done(false);
    else
        startNextCommand();
}

void QFtp::piError(int code, const QString &text)
{
    if (m_pending.empty()) {
        qCWarning(lcFtp, "QFtpPrivate::_q_piError was called without pending command!");
        return;
    }
    const QFtpCommand *cmd = m_pending.front().get();
    const QString line = m_pi->currentCommand();
    if (cmd->m_type == Get && line.startsWith(QLatin1String("SIZE "))) {
        m_pi->dtp()->setBytesTotal(-1);
        return;
    }
    if (cmd->m_type == Put && line.startsWith(QLatin1String("ALLO ")))
        return;
    // Servers without RFC 2389 or RFC 2640 refuse these; names then stay Latin-1.
    if (cmd->m_type == Login && (line.startsWith(QLatin1String("FEAT")) || line.startsWith(QLatin1String("OPTS "))))
        return;
    failRunning(code, text);
}

void QFtp::failRunning(int code, const QString &text)
{
    if (m_pending.empty())
        return;
    const QFtpCommand *cmd = m_pending.front().get();
    const int id = cmd->m_id;
    ++m_failures;
    m_error = Error(code);
    m_errorString = failurePrefix(cmd->m_type).arg(text);
    const bool wasClose = cmd->m_type == Close;
    m_pi->clearPendingCommands();
    dropAll();
    if (wasClose || m_closePending) {
        m_closePending = false;
        m_pi->closeConnection();
    }
    emit commandFinished(id, true);
    emit done(true);
}

void QFtp::abort()
{
    if (m_pending.empty())
        return;
    const QFtpCommand *cmd = m_pending.front().get();
    if (m_runningId == cmd->m_id) {
        if (cmd->m_type == ConnectToHost || cmd->m_type == Close)
            m_pi->closeConnection();
        else
            m_pi->abort();
    }
    clearPendingCommands();
    failRunning(UnknownError, QStringLiteral("Operation aborted"));
}

void QFtp::piConnectState(int state)
{
    if (m_state == State(state))
        return;
    m_state = State(state);
    emit stateChanged(state);
}

void QFtp::piFtpReply(int code, const QString &text)
{
    if (currentCommand() == RawCommand)
        emit rawCommandReply(code, text);
}
