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
    void setTransferTimeout(int msecs) { m_transferTimeout = msecs; }
    int transferTimeout() const { return m_transferTimeout; }
    void setAbortTimeout(int msecs) { m_abortTimeout = msecs; }
    // Set once the server's FEAT reply lists UTF8 (RFC 2640).
    bool isUtf8() const { return m_utf8; }
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
    void idleTimedOut();
    void abortTimedOut();
    void dtpActivity();
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
    void enterAbort(AbortState state);
    void endAbort();
    void setUtf8(bool on);
    void parseFeatures(const QString &text);

    QTcpSocket *m_socket;
    QFtpDTP *m_dtp;
    QFtpReplyReader m_reader;
    QTimer m_connectTimer;
    // Inactivity on the control and data connections while a command runs.
    QTimer m_idleTimer;
    QTimer m_abortTimer;
    QString m_host;
    int m_connectTimeout = 30000;
    int m_transferTimeout = 120000;
    int m_abortTimeout = 3000;
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
    bool m_utf8 = false;
    bool m_abortFinalOwed = false;
};
