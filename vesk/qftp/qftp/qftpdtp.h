#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>

#include "qurlinfo.h"

class QTcpServer;
class QTcpSocket;

// The data transfer process: one data connection per listing or transfer.
class QFtpDTP : public QObject {
    Q_OBJECT

public:
    static const int MaxListLineLength = 8 * 1024;

    explicit QFtpDTP(QObject *parent = nullptr);
    ~QFtpDTP() override;

    // Set up before each transfer; a command uses exactly one of them.
    void startTransfer();
    void setListing() { m_isListing = true; }
    void setUpload() { m_isUpload = true; }
    void setDevice(QIODevice *device) { m_device = device; }
    void setData(const QByteArray &data);
    void setBinary(bool binary) { m_binary = binary; }
    void setUserName(const QString &user) { m_userName = user; }
    // Listing names are UTF-8 once the server has said so (RFC 2640), else Latin-1.
    void setUtf8(bool on) { m_utf8 = on; }

    void setBytesTotal(qint64 total) { m_bytesTotal = total; }
    qint64 bytesTotal() const { return m_bytesTotal; }
    qint64 bytesDone() const { return m_bytesDone; }

    // Passive mode: connect to the server's data port.
    void connectToHost(const QHostAddress &address, quint16 port);
    // Active mode: listen on the given local address for a connection from
    // peer (the control connection's peer); returns the port or 0.
    quint16 setupListener(const QHostAddress &address, const QHostAddress &peer);
    // STOR was accepted: write as soon as the connection exists.
    void startWriting();

    // At the final reply of a transfer: records why it is incomplete, if it is.
    void checkComplete();

    // True while a data connection is open or about to be accepted.
    bool isConnectionOpen();
    bool isActive() const;
    // Drops the data connection without reporting anything.
    void abortConnection();

    bool hasError() const { return !m_errorMessage.isEmpty(); }
    QString errorMessage() const { return m_errorMessage; }
    void clearError() { m_errorMessage.clear(); }

    qint64 bytesAvailable() const { return m_readBuffer.size(); }
    qint64 read(char *data, qint64 maxlen);
    QByteArray readAll();

    // Splits listing data into lines; false once a line is over-long.
    bool feedListing(const QByteArray &chunk);
    void finishListing();

    static bool parseDir(const QString &line, const QString &userName, QUrlInfo *info);

signals:
    void listInfo(const QUrlInfo &info);
    void readyRead();
    void dataTransferProgress(qint64 done, qint64 total);
    void connected();
    void connectFailed();
    void connectionClosed();

private slots:
    void socketConnected();
    void socketReadyRead();
    void socketBytesWritten();
    void socketError();
    void socketDisconnected();
    void newConnection();
    void deviceReadyRead();

private:
    void setupSocket(QTcpSocket *socket);
    void writeMore();
    void failTransfer(const QString &message);
    void finishConnection();
    void parseListLine(QByteArray line);
    void dropSocket();

    QTcpSocket *m_socket = nullptr;
    QTcpServer *m_listener = nullptr;
    QHostAddress m_expectedPeer;
    QPointer<QIODevice> m_device;
    QByteArray m_data;
    bool m_hasData = false;
    qint64 m_dataPos = 0;
    bool m_isListing = false;
    bool m_isUpload = false;
    bool m_connectionMade = false;
    bool m_binary = true;
    bool m_utf8 = false;
    bool m_writeRequested = false;
    bool m_writeFinished = false;
    bool m_passiveConnecting = false;
    // Counts dropped connections, so that a loop can tell a slot aborted the transfer.
    quint64 m_serial = 0;
    qint64 m_bytesDone = 0;
    qint64 m_bytesTotal = -1;
    QString m_errorMessage;
    QString m_userName;
    QByteArray m_readBuffer;
    QByteArray m_lineBuffer;
    QByteArray m_chunk;
};
