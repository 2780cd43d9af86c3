#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running copy of an application per user: the first start listens on a
// local socket, a later start hands it its arguments and working directory and
// ends. A lock file around "is anybody there, else listen" makes two starts at
// the same moment end with one listener, and a socket left by a crash is taken over.
class XSingleInstance : public QObject {
    Q_OBJECT

public:
    enum Outcome {
        Listening,  // this process is the one that runs
        HandedOff,  // a running one took the start: this process should end
        Failed,     // neither: run on as an ordinary start (see error)
    };
    // A message is a 4-byte big-endian length and a JSON object; larger ones are cut off.
    static constexpr int MaxMessage = 1024 * 1024;
    // Connections served at once; more are closed unread.
    static constexpr int MaxPeers = 16;
    // A peer that has not sent its whole message by then is dropped.
    static constexpr int PeerTimeoutMs = 5000;

    explicit XSingleInstance(const QString &socketPath, QObject *parent = nullptr);
    ~XSingleInstance() override;

    // The socket for an application key (its id) in the user's runtime folder.
    static QString socketPathFor(const QString &key);
    // The instance of this process that listens, or null.
    static XSingleInstance *listening();

    Outcome start(const QStringList &arguments, const QString &workdir, int answerTimeoutMs = PeerTimeoutMs);
    QString errorText() const { return m_error; }
    QString socketPath() const { return m_path; }

    static QByteArray message(const QStringList &arguments, const QString &workdir);

Q_SIGNALS:
    void secondInstance(const QStringList &arguments, const QString &workdir);

private:
    // 1: answered; 0: nobody listens; -1: connected but no answer.
    int handOff(const QByteArray &message, int timeoutMs);
    void acceptPeers();
    void readPeer(QLocalSocket *peer);

    QString m_path;
    QString m_error;
    QLocalServer *m_server = nullptr;
    int m_peers = 0;
};
