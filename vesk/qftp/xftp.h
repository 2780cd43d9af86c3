#pragma once

#include "xjsliteral.h"

#include "qftp.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QTimer>

#include <functional>

class QFile;
class QSaveFile;

// One FTP connection of a page: remembers which page callbacks belong to which
// queued command and reports back as JavaScript text handed to the evaluator.
// Every piece of data in that text is written by the literal encoder.
class XFTP : public QFtp {
    Q_OBJECT

public:
    using Evaluator = XJsLiteral::Evaluator;

    explicit XFTP(const Evaluator &evaluate, QObject *parent = nullptr);
    ~XFTP() override;

    // "Unconnected", "Host Lookup", ...; empty for a number without a name.
    static QString stateName(int state);

    void setStateCallback(const QString &name) { m_stateCallback = name; }

    // Each queues one command with the callbacks filed under its id and returns
    // the id, or 0 when the command was refused before queuing (reported to the
    // error callback).
    int queueConnect(const QString &host, quint16 port);
    int queueLogin(const QString &user, const QString &password, const QString &ok, const QString &error);
    int queueClose(const QString &ok, const QString &error);
    int queueList(const QString &ok, const QString &error, const QString &list);
    int queueCd(const QString &dir, const QString &ok, const QString &error);
    int queueMkdir(const QString &dir, const QString &ok, const QString &error);
    int queueRemove(const QString &file, const QString &ok, const QString &error);
    int queueRmdir(const QString &dir, const QString &ok, const QString &error);
    int queueRename(const QString &src, const QString &dst, const QString &ok, const QString &error);
    int queuePut(const QString &src, const QString &dst, const QString &ok, const QString &error,
                 const QString &progress);
    int queueGet(const QString &src, const QString &dst, const QString &ok, const QString &error,
                 const QString &progress);

    // Nothing reaches the page any more; transfers still queued are abandoned.
    void detach();

    // Unconnected, with nothing queued and nothing left to report.
    bool hasEnded() const;

    // The texts evaluated in the page.
    static QString stateCall(const QString &callback, int state);
    static QString errorCall(const QString &callback, int code, const QString &text);
    static QString listEntryCall(const QString &callback, const QUrlInfo &info);
    static QString progressCall(const QString &callback, qint64 done, qint64 total);

signals:
    // From the event loop once the connection has ended and everything about it
    // has been reported; it may be deleted then.
    void ended();

private slots:
    void connectionStateChanged(int state);
    void listInfo2(const QUrlInfo &info);
    void viewProgress(qint64 done, qint64 total);
    void finishCommand(int id, bool error);

private:
    struct Pending {
        QString ok;
        QString error;
        // The list callback of a listing, the progress callback of a transfer.
        QString third;
        QFile *upload = nullptr;
        QSaveFile *download = nullptr;
    };

    int file(int id, const Pending &pending);
    void failLater(const QString &error, const QString &text);
    void evaluate(const QString &script);
    void deliverProgress(const QString &callback);
    void releaseHeldProgress();
    void writeBack(int id, QSaveFile *download, qint64 done);
    void checkEnded();
    void scheduleEndCheck();
    static void discard(const Pending &pending);

    Evaluator m_evaluate;
    QString m_stateCallback;
    QHash<int, Pending> m_commands;
    // Progress is passed on at most every kProgressInterval ms; the last report
    // of a command always arrives.
    QElapsedTimer m_progressClock;
    int m_progressId = 0;
    qint64 m_progressDone = -1;
    qint64 m_progressTotal = -1;
    bool m_progressHeld = false;
    // A held report goes out when its interval is over, not when more data comes.
    QTimer m_progressRelease;
    // How much of the running download has been handed to the disk already, so
    // that putting the file in place does not wait for all of it at the end.
    int m_writebackId = 0;
    qint64 m_writtenBack = 0;
    // Refusals reported from the event loop that have not gone out yet.
    int m_lateReports = 0;
    bool m_endCheckQueued = false;
};
