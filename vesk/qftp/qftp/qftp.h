#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>

#include "qurlinfo.h"

class QFtpCommand;
class QFtpPI;
class QIODevice;

// Asynchronous FTP client (RFC 959, RFC 2428). Every operation queues a
// command and returns its id; the queue starts from the event loop, so a
// caller can connect to the id before anything happens.
class QFtp : public QObject {
    Q_OBJECT

public:
    enum State { Unconnected, HostLookup, Connecting, Connected, LoggedIn, Closing };
    Q_ENUM(State)
    enum Error { NoError, UnknownError, HostNotFound, ConnectionRefused, NotConnected };
    Q_ENUM(Error)
    enum Command {
        None,
        SetTransferMode,
        SetProxy,
        ConnectToHost,
        Login,
        Close,
        List,
        Cd,
        Get,
        Put,
        Remove,
        Mkdir,
        Rmdir,
        Rename,
        RawCommand
    };
    Q_ENUM(Command)
    enum TransferMode { Active, Passive };
    Q_ENUM(TransferMode)
    enum TransferType { Binary, Ascii };
    Q_ENUM(TransferType)

    explicit QFtp(QObject *parent = nullptr);
    ~QFtp() override;

    int setProxy(const QString &host, quint16 port);
    // Applies to the commands queued after this call.
    int setTransferMode(TransferMode mode);
    int connectToHost(const QString &host, quint16 port = 21);
    int login(const QString &user = QString(), const QString &password = QString());
    int close();
    int list(const QString &dir = QString());
    int cd(const QString &dir);
    int get(const QString &file, QIODevice *dev = nullptr, TransferType type = Binary);
    int put(const QByteArray &data, const QString &file, TransferType type = Binary);
    int put(QIODevice *dev, const QString &file, TransferType type = Binary);
    int remove(const QString &file);
    int mkdir(const QString &dir);
    int rmdir(const QString &dir);
    int rename(const QString &oldname, const QString &newname);
    int rawCommand(const QString &command);

    qint64 bytesAvailable() const;
    qint64 read(char *data, qint64 maxlen);
    QByteArray readAll();

    int currentId() const;
    QIODevice *currentDevice() const;
    Command currentCommand() const;
    bool hasPendingCommands() const;
    void clearPendingCommands();

    State state() const { return m_state; }
    Error error() const { return m_error; }
    QString errorString() const { return m_errorString; }
    TransferMode transferMode() const { return m_transferMode; }
    // Time allowed from connecting until the server's greeting has arrived.
    void setConnectTimeout(int msecs);
    int connectTimeout() const;
    // Time a running command may go without a byte on the control or data connection.
    void setTransferTimeout(int msecs);
    int transferTimeout() const;

public slots:
    void abort();

signals:
    void stateChanged(int state);
    void listInfo(const QUrlInfo &info);
    void readyRead();
    void dataTransferProgress(qint64 done, qint64 total);
    void rawCommandReply(int replyCode, const QString &detail);
    void commandStarted(int id);
    void commandFinished(int id, bool error);
    void done(bool error);

private slots:
    void startNextCommand();
    void piFinished(const QString &text);
    void piError(int code, const QString &text);
    void piConnectState(int state);
    void piFtpReply(int code, const QString &text);

private:
    int addCommand(QFtpCommand *cmd);
    QString transferLine() const;
    void failRunning(int code, const QString &text);
    void finishLater(int id);
    void dropAll();

    QFtpPI *m_pi;
    // The queue owns its commands; the first is the running one.
    std::deque<std::unique_ptr<QFtpCommand>> m_pending;
    int m_runningId = 0;
    State m_state = Unconnected;
    Error m_error = NoError;
    QString m_errorString;
    bool m_closePending = false;
    quint64 m_failures = 0;
    TransferMode m_transferMode = Passive;
    QString m_proxyHost;
    quint16 m_proxyPort = 0;
    QString m_host;
};
