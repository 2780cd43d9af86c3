#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "qftpreplyreader.h"

class QFtpDTP;
class QHostAddress;
class QTcpSocket;

// The protocol interpreter: sends a command's lines on the control
// connection and reads the replies that answer them.
class QFtpPI : public QObject {
    Q_OBJECT

public:
    enum State { Begin, Idle, Waiting, Success, Failure };
    enum AbortState { None, AbortStarted, WaitForAbortToFinish };

    explicit QFtpPI(QObject *parent = nullptr);

    void connectToHost(const QString &host, quint16 port);
    bool sendCommands(const QStringList &cmds);
    bool sendCommand(const QString &cmd) { return sendCommands(QStringList(cmd)); }
    void clearPendingCommands();
    void abort();
    void closeConnection();

    bool isConnected() const;
    State state() const { return m_state; }
    QString currentCommand() const { return m_currentCmd; }
    void setRawCommand(bool raw) { m_rawCommand = raw; }
    void setConnectTimeout(int msecs) { m_connectTimeout = msecs; }
    int connectTimeout() const { return m_connectTimeout; }
    QFtpDTP *dtp() const { return m_dtp; }

signals:
    void connectState(int state);
    void finished(const QString &text);
    void error(int code, const QString &text);
    void rawFtpReply(int code, const QString &text);

private slots:
    void hostFound();
    void socketConnected();
    void socketDisconnected();
    void socketError();
    void connectTimedOut();
    void readyRead();
    void dtpConnected();
    void dtpConnectFailed();
    void dtpConnectionClosed();

private:
    bool processReply();
    void startNextCmd();
    bool reportError(int code, const QString &text);
    bool connectPassive();
    bool isIPv6Local(QHostAddress *local) const;
    void failProtocol(const QString &text);
    void resetConnectionState();

    QTcpSocket *m_socket;
    QFtpDTP *m_dtp;
    QFtpReplyReader m_reader;
    QTimer m_connectTimer;
    QString m_host;
    int m_connectTimeout = 30000;
    int m_replyCode = 0;
    QString m_replyText;
    QString m_currentCmd;
    QStringList m_pendingCommands;
    State m_state = Begin;
    AbortState m_abortState = None;
    bool m_waitForDtpToConnect = false;
    bool m_waitForDtpToClose = false;
    bool m_rawCommand = false;
    bool m_transferConnectionExtended = true;
    bool m_commandActive = false;
    bool m_cleared = false;
    bool m_connecting = false;
};
