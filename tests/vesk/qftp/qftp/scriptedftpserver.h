#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// An FTP server for tests: answers like a small real server unless told to
// answer a verb with given raw text, records every line it receives and can
// misbehave on the data connection on request.
class ScriptedFtpServer : public QObject {
    Q_OBJECT

public:
    explicit ScriptedFtpServer(const QHostAddress &address = QHostAddress::LocalHost, QObject *parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // Raw reply text for a verb ("USER", "PASV", ...), sent as given; replaces the default behaviour.
    void setReply(const QByteArray &verb, const QByteArray &raw) { m_replies.insert(verb, raw); }
    // An empty greeting makes a server that accepts and never answers.
    void setGreeting(const QByteArray &raw) { m_greeting = raw; }
    // Closes the control connection right after answering this verb.
    void setCloseAfter(const QByteArray &verb) { m_closeAfter = verb; }
    void setFile(const QByteArray &content) { m_file = content; }
    void setListing(const QByteArray &listing) { m_listing = listing; }
    // Host part of a 227 reply, e.g. "10,1,2,3"; default is the server's own address.
    void setPassiveHost(const QByteArray &host) { m_passiveHost = host; }
    // Sends only this many bytes of a download, then closes (or stalls).
    void setSendLimit(qint64 limit, bool stall)
    {
        m_sendLimit = limit;
        m_stall = stall;
    }
    // With a stalling send limit: the bytes go out in pieces of this size, one
    // every intervalMs, before the stall.
    void setStallPieces(int size, int intervalMs)
    {
        m_pieceSize = size;
        m_pieceInterval = intervalMs;
    }
    // Sends 150 and 226 together, after the data connection has closed.
    void setRepliesAfterData(bool on) { m_repliesAfterData = on; }
    // Sends 226 before closing the data connection.
    void setFinalBeforeClose(bool on) { m_finalBeforeClose = on; }
    // Answers RETR, LIST and STOR with 150 and 226 and moves no data: a passive
    // data connection is closed at once, an active one never made.
    void setNoData(bool on) { m_noData = on; }
    // After a download's data connection has closed, closes the control connection instead of the final reply.
    void setDropAfterData(bool on) { m_dropAfterData = on; }
    // Sends every reply in two writes a little apart.
    void setSplitReplies(bool on) { m_splitReplies = on; }

    QStringList received() const { return m_received; }
    QStringList verbs() const;
    QByteArray uploaded() const { return m_uploaded; }

signals:
    void lineReceived(const QString &line);

private slots:
    void newControlConnection();
    void controlReadyRead();
    void newDataConnection();

private:
    void handle(const QByteArray &line);
    void send(const QByteArray &raw);
    // The final reply of a transfer.
    void sendFinal(const QByteArray &raw);
    void openPassive(bool extended);
    void connectActive(const QHostAddress &host, quint16 port);
    void whenDataReady(std::function<void()> action);
    void sendData(const QByteArray &content);
    void receiveUpload();

    QTcpServer m_server;
    QTcpServer m_dataServer;
    QPointer<QTcpSocket> m_control;
    QPointer<QTcpSocket> m_data;
    QHostAddress m_address;
    QHash<QByteArray, QByteArray> m_replies;
    QByteArray m_greeting = "220 Scripted server ready\r\n";
    QByteArray m_closeAfter;
    QByteArray m_file;
    QByteArray m_listing;
    QByteArray m_passiveHost;
    qint64 m_sendLimit = -1;
    bool m_stall = false;
    int m_pieceSize = 0;
    int m_pieceInterval = 0;
    bool m_repliesAfterData = false;
    bool m_finalBeforeClose = false;
    bool m_splitReplies = false;
    bool m_transferOpen = false;
    bool m_noData = false;
    bool m_dropAfterData = false;
    std::function<void()> m_pendingDataAction;
    QStringList m_received;
    QByteArray m_uploaded;
    QByteArray m_inbox;
};
