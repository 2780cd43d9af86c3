#pragma once

#include "xjsliteral.h"

#include "xuploadbody.h"
#include "xuploadparts.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class MaiaXmlRpcClient;
class QNetworkReply;
class XSession;

// The conversation with the stock-photo service behind "lkorvalen": sign-in,
// uploads, releases and earnings, each reported to the page's callbacks in
// the frame the client was made for. Operations that carry the session value
// run one at a time in call order, so each call carries the renewal of the
// value the previous call carried.
class XClient : public QObject {
    Q_OBJECT

public:
    // Local refusals, reported with error_type 'app'.
    enum AppError {
        TooSmall = 122,
        WrongRatio = 123,
        Unreadable = 124,
        NotAnImage = 125,
        ExtensionRefused = 126,
        TooLarge = 127,
        NotSignedIn = 128,
    };

    // evaluate: how a callback reaches the page.
    using Evaluator = XJsLiteral::Evaluator;
    XClient(const Evaluator &evaluate, QObject *parent = nullptr);
    ~XClient() override;

    // VESK_UPLOADER_ENDPOINT from the environment, else the one built in.
    static QString configuredEndpoint();
    void setCredentials(const QString &clientId, const QString &clientKey, const QString &password);

public Q_SLOTS:
    void login(const QString &success_callback, const QString &error_callback);
    void uploadImage(const QString &file, const QVariant &meta, const QString &success_callback,
                     const QString &error_callback, const QString &process_callback);
    void uploadRelease(const QString &file, const QString &type, const QString &name, const QString &description,
                       const QString &date, const QString &success_callback, const QString &error_callback,
                       const QString &process_callback);
    void checkReleases(const QString &releases, const QString &success_callback, const QString &error_callback);
    void attachReleases(const QString &id_photo, const QString &releases, const QString &success_callback,
                        const QString &error_callback);
    void getEarnings(const QString &date_from, const QString &date_to, const QString &func_pointer_success,
                     const QString &func_pointer_error);

private Q_SLOTS:
    void answered(QVariant &answer, QNetworkReply *reply);
    void faulted(int code, const QString &text, QNetworkReply *reply);
    void runNext();

private:
    enum class Step { Hash, Login, Restrictions, Job };
    enum class Kind { Photo, Release, Check, Attach, Earnings };

    struct Job {
        Kind kind;
        QStringList args;
        QVariant meta;
        QString success;
        QString error;
        QString process;
        QSharedPointer<XSession> session;
        XUploadBody body;
        QString uniq;
        QString ext;
        int part = 0;
    };

    struct Pending {
        Step step;
        QSharedPointer<XSession> session;
        int serial = 0;
        QString success;
        QString error;
    };

    void enqueue(const QSharedPointer<Job> &job);
    bool send(const QString &method, const QVariantList &args, const Pending &pending);
    void watch(QNetworkReply *reply, const Pending &pending, const QString &method);
    void startJob(const QSharedPointer<Job> &job);
    bool prepareUpload(Job *job);
    void sendPart(const QSharedPointer<Job> &job);
    void jobAnswered(const QSharedPointer<Job> &job, const QVariant &answer);
    void loginAnswered(Pending pending, const QVariant &answer);
    void finishJob();

    void callBack(const QString &callback, const QVariantList &arguments = {});
    void fail(const QString &callback, const QString &type, const QString &code, const QString &text);
    void failLater(const QString &callback, const QString &type, const QString &code, const QString &text);

    Evaluator m_evaluate;
    QString m_endpoint;
    MaiaXmlRpcClient *m_rpc = nullptr;
    QString m_clientId;
    QString m_clientKey;
    QString m_passwordDigest;
    QSharedPointer<XSession> m_session;
    int m_loginSerial = 0;
    int m_installedSerial = 0;
    QHash<QNetworkReply *, Pending> m_pending;
    QList<QSharedPointer<Job>> m_queue;
    QSharedPointer<Job> m_running;
};
