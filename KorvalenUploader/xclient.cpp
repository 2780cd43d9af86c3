#include "xclient.h"

#include "maiafault.h"
#include "maiaobject.h"
#include "maiaxmlrpcclient.h"
#include "xearningscatalog.h"
#include "xjsliteral.h"
#include "xrestrictions.h"
#include "xserviceanswer.h"
#include "xsession.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

#ifndef VESK_UPLOADER_ENDPOINT_DEFAULT
#define VESK_UPLOADER_ENDPOINT_DEFAULT ""
#endif

namespace {
const char *const AddPhoto = "addPhoto";
const char *const AddRelease = "addRelease";
// Each of the four pieces of the text then stays well inside one buffer.
const qint64 MaxFileBytes = qint64(4) << 30;
} // namespace

XClient::XClient(const Evaluator &evaluate, QObject *parent)
    : QObject(parent)
    , m_evaluate(evaluate)
    , m_endpoint(configuredEndpoint())
{
    if (!m_endpoint.isEmpty())
        m_rpc = new MaiaXmlRpcClient(QUrl(m_endpoint), QStringLiteral("KorvaOrganizer"), this);
}

XClient::~XClient() = default;

QString XClient::configuredEndpoint()
{
    const QString fromEnvironment = qEnvironmentVariable("VESK_UPLOADER_ENDPOINT");
    return fromEnvironment.isEmpty() ? QStringLiteral(VESK_UPLOADER_ENDPOINT_DEFAULT) : fromEnvironment;
}

void XClient::setCredentials(const QString &clientId, const QString &clientKey, const QString &password)
{
    m_clientId = clientId;
    m_clientKey = clientKey;
    m_passwordDigest = XSession::passwordDigest(password);
}

void XClient::callBack(const QString &callback, const QVariantList &arguments)
{
    if (m_evaluate && !callback.isEmpty())
        m_evaluate(XJsLiteral::call(QStringLiteral("window.") + callback, arguments));
}

void XClient::fail(const QString &callback, const QString &type, const QString &code, const QString &text)
{
    const QVariantMap error {{QStringLiteral("error_type"), type},
                             {QStringLiteral("error_code"), code},
                             {QStringLiteral("error_text"), text}};
    callBack(callback, {error});
}

void XClient::failLater(const QString &callback, const QString &type, const QString &code, const QString &text)
{
    QTimer::singleShot(0, this, [this, callback, type, code, text] { fail(callback, type, code, text); });
}

bool XClient::send(const QString &method, const QVariantList &args, const Pending &pending)
{
    QNetworkReply *reply = m_rpc->call(method, args, this, SLOT(answered(QVariant &, QNetworkReply *)), this,
                                       SLOT(faulted(int, const QString &, QNetworkReply *)));
    watch(reply, pending, method);
    return reply;
}

void XClient::watch(QNetworkReply *reply, const Pending &pending, const QString &method)
{
    if (!reply) {
        failLater(pending.error, QStringLiteral("xmlrpc"), QString::number(MaiaFault::NotXmlRpc),
                  QStringLiteral("cannot send ") + method);
        return;
    }
    m_pending.insert(reply, pending);
}

void XClient::login(const QString &success_callback, const QString &error_callback)
{
    if (!m_rpc) {
        failLater(error_callback, QStringLiteral("xmlrpc"), QString::number(MaiaFault::TransportError),
                  QStringLiteral("no service endpoint configured"));
        return;
    }
    // Each sign-in keeps its own conversation; the credentials are those of its call.
    Pending pending {Step::Hash, QSharedPointer<XSession>::create(m_clientId, m_clientKey, m_passwordDigest),
                     ++m_loginSerial, success_callback, error_callback};
    send(QStringLiteral("getHash"), {m_clientId}, pending);
}

void XClient::loginAnswered(Pending pending, const QVariant &answer)
{
    XServiceAnswer reader(answer);
    const QString xmlrpc = QStringLiteral("xmlrpc");
    const QString malformed = QString::number(MaiaFault::NotXmlRpc);
    XSession *session = pending.session.data();
    switch (pending.step) {
    case Step::Hash: {
        QVariantMap first;
        QString value;
        if (!reader.firstOutput(&first) || !reader.text(first, QStringLiteral("sessionId"), &value))
            return fail(pending.error, xmlrpc, malformed, reader.error());
        session->setValue(value);
        session->renew();
        pending.step = Step::Login;
        send(QStringLiteral("login"), {session->value()}, pending);
        return;
    }
    case Step::Login: {
        session->renew();
        QString status;
        QString message;
        if (!reader.status(&status, &message))
            return fail(pending.error, xmlrpc, malformed, reader.error());
        if (status != QLatin1String("200"))
            return fail(pending.error, QStringLiteral("app"), status, message);
        pending.step = Step::Restrictions;
        send(QStringLiteral("getRestrictions"), {session->value()}, pending);
        return;
    }
    case Step::Restrictions: {
        session->renew();
        QVariantMap root;
        if (!reader.root(&root))
            return fail(pending.error, xmlrpc, malformed, reader.error());
        const QVariant output = root.value(QStringLiteral("output"));
        if (output.userType() != QMetaType::QVariantList)
            return fail(pending.error, xmlrpc, malformed, QStringLiteral("malformed answer: no \"output\" list"));
        const QVariantList sets = output.toList();
        for (int i = 0; i < 2 && i < sets.size(); ++i) {
            if (sets.at(i).userType() != QMetaType::QVariantMap)
                return fail(pending.error, xmlrpc, malformed,
                            QStringLiteral("malformed answer: restriction set %1 is not a struct").arg(i));
        }
        session->photo = XRestrictions::fromVariant(sets.value(0));
        session->release = XRestrictions::fromVariant(sets.value(1));
        // A sign-in that ends after a later one has ended does not replace its session.
        if (pending.serial > m_installedSerial) {
            m_installedSerial = pending.serial;
            m_session = pending.session;
        }
        const QVariantMap result {{QStringLiteral("photo"), session->photo.toMap()},
                                  {QStringLiteral("release"), session->release.toMap()}};
        callBack(pending.success, {result});
        return;
    }
    case Step::Job: return;
    }
}

void XClient::enqueue(const QSharedPointer<Job> &job)
{
    if (!m_rpc) {
        failLater(job->error, QStringLiteral("xmlrpc"), QString::number(MaiaFault::TransportError),
                  QStringLiteral("no service endpoint configured"));
        return;
    }
    m_queue.append(job);
    QTimer::singleShot(0, this, &XClient::runNext);
}

void XClient::uploadImage(const QString &file, const QVariant &meta, const QString &success_callback,
                          const QString &error_callback, const QString &process_callback)
{
    auto job = QSharedPointer<Job>::create();
    job->kind = Kind::Photo;
    job->args = QStringList {file};
    job->meta = meta;
    job->success = success_callback;
    job->error = error_callback;
    job->process = process_callback;
    enqueue(job);
}

void XClient::uploadRelease(const QString &file, const QString &type, const QString &name, const QString &description,
                            const QString &date, const QString &success_callback, const QString &error_callback,
                            const QString &process_callback)
{
    auto job = QSharedPointer<Job>::create();
    job->kind = Kind::Release;
    job->args = QStringList {file, type, name, description, date};
    job->success = success_callback;
    job->error = error_callback;
    job->process = process_callback;
    enqueue(job);
}

void XClient::checkReleases(const QString &releases, const QString &success_callback, const QString &error_callback)
{
    auto job = QSharedPointer<Job>::create();
    job->kind = Kind::Check;
    job->args = QStringList {releases};
    job->success = success_callback;
    job->error = error_callback;
    enqueue(job);
}

void XClient::attachReleases(const QString &id_photo, const QString &releases, const QString &success_callback,
                             const QString &error_callback)
{
    auto job = QSharedPointer<Job>::create();
    job->kind = Kind::Attach;
    job->args = QStringList {id_photo, releases};
    job->success = success_callback;
    job->error = error_callback;
    enqueue(job);
}

void XClient::getEarnings(const QString &date_from, const QString &date_to, const QString &func_pointer_success,
                          const QString &func_pointer_error)
{
    auto job = QSharedPointer<Job>::create();
    job->kind = Kind::Earnings;
    job->args = QStringList {date_from, date_to};
    job->success = func_pointer_success;
    job->error = func_pointer_error;
    enqueue(job);
}

void XClient::runNext()
{
    if (m_running || m_queue.isEmpty())
        return;
    m_running = m_queue.takeFirst();
    startJob(m_running);
}

void XClient::finishJob()
{
    m_running.reset();
    QTimer::singleShot(0, this, &XClient::runNext);
}

void XClient::startJob(const QSharedPointer<Job> &job)
{
    if (!m_session) {
        fail(job->error, QStringLiteral("app"), QString::number(NotSignedIn), QStringLiteral("Not signed in"));
        return finishJob();
    }
    // The job keeps the session it started with, even if a new sign-in ends meanwhile.
    job->session = m_session;
    const Pending pending {Step::Job, job->session, 0, job->success, job->error};
    bool sent = false;
    switch (job->kind) {
    case Kind::Photo:
    case Kind::Release:
        if (!prepareUpload(job.data()))
            return finishJob();
        sendPart(job);
        return;
    case Kind::Check:
        sent = send(QStringLiteral("checkReleases"), {job->session->value(), job->args.at(0)}, pending);
        break;
    case Kind::Attach:
        sent =
            send(QStringLiteral("attachReleases"), {job->session->value(), job->args.at(0), job->args.at(1)}, pending);
        break;
    case Kind::Earnings:
        sent = send(QStringLiteral("getEarnings"), {job->session->value(), job->args.at(0), job->args.at(1)}, pending);
        break;
    }
    if (!sent)
        finishJob();
}

bool XClient::prepareUpload(Job *job)
{
    const QString path = job->args.at(0);
    const QString app = QStringLiteral("app");
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    job->ext = dot < 0 || path.indexOf(QLatin1Char('/'), dot) >= 0 ? QString() : path.mid(dot).toLower();

    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(job->error, app, QString::number(Unreadable), QStringLiteral("Cannot read the file: ") + path);
        return false;
    }
    QByteArray data;
    const qint64 fileSize = file.size();
    if (job->kind == Kind::Release) {
        const XRestrictions &r = job->session->release;
        if (!r.allowsExtension(path)) {
            fail(job->error, app, QString::number(ExtensionRefused),
                 QStringLiteral("File type not allowed: ") + QFileInfo(path).suffix());
            return false;
        }
        if (file.size() > r.maxSize) {
            fail(job->error, app, QString::number(TooLarge),
                 QStringLiteral("File larger than %1 bytes").arg(r.maxSize));
            return false;
        }
    }
    if (job->kind == Kind::Photo && (job->ext == QLatin1String(".jpg") || job->ext == QLatin1String(".jpeg"))) {
        const XRestrictions &r = job->session->photo;
        QImageReader reader(&file, "jpeg");
        QSize target;
        const QSize size = reader.size();
        if (!size.isValid()) {
            fail(job->error, app, QString::number(NotAnImage), QStringLiteral("Cannot decode the image: ") + path);
            return false;
        }
        switch (r.checkPhoto(size, &target)) {
        case XRestrictions::TooSmall:
            fail(job->error, app, QString::number(TooSmall), QStringLiteral("Too small dimensions"));
            return false;
        case XRestrictions::WrongRatio:
            fail(job->error, app, QString::number(WrongRatio), QStringLiteral("Wrong aspect ratio"));
            return false;
        case XRestrictions::Accepted: break;
        }
        QImage image = reader.read();
        if (image.isNull()) {
            fail(job->error, app, QString::number(NotAnImage), QStringLiteral("Cannot decode the image: ") + path);
            return false;
        }
        if (target != size)
            image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "jpeg", r.q)) {
            fail(job->error, app, QString::number(NotAnImage), QStringLiteral("Cannot encode the image: ") + path);
            return false;
        }
        job->body = XUploadBody(std::move(data));
    } else {
        // A piece of the text must fit in one buffer.
        if (fileSize > MaxFileBytes) {
            fail(job->error, app, QString::number(TooLarge),
                 QStringLiteral("File larger than %1 bytes").arg(MaxFileBytes));
            return false;
        }
        // Read piece by piece as the parts are sent, never whole.
        job->body = XUploadBody(path, fileSize);
    }
    file.close();
    job->uniq =
        QString::fromLatin1(QCryptographicHash::hash(job->session->value().toUtf8(), QCryptographicHash::Md5).toHex())
        + QString::number(QRandomGenerator::global()->bounded(2147483647));
    job->part = 0;
    return true;
}

void XClient::sendPart(const QSharedPointer<Job> &job)
{
    const bool last = job->part == XUploadParts::Count - 1;
    // The data go into the written call as bytes; an empty string holds their place.
    QVariantMap part {{QStringLiteral("data"), QString()},
                      {QStringLiteral("ext"), job->ext},
                      {QStringLiteral("part"), job->part},
                      {QStringLiteral("last"), last ? 1 : 0},
                      {QStringLiteral("uniq"), job->uniq}};
    if (last && job->kind == Kind::Photo) {
        const QVariantMap meta = job->meta.toMap();
        part.insert(QStringLiteral("title"), meta.value(QStringLiteral("title")).toString());
        part.insert(QStringLiteral("desc"), meta.value(QStringLiteral("desc")).toString());
        QStringList keywords;
        for (const QVariant &keyword : meta.value(QStringLiteral("keywords")).toList())
            keywords << keyword.toString();
        part.insert(QStringLiteral("keywords"), keywords);
    } else if (last) {
        part.insert(QStringLiteral("type"), job->args.at(1));
        part.insert(QStringLiteral("name"), job->args.at(2));
        part.insert(QStringLiteral("description"), job->args.at(3));
        part.insert(QStringLiteral("date"), job->args.at(4));
    }
    const Pending pending {Step::Job, job->session, 0, job->success, job->error};
    const QString method = QLatin1String(job->kind == Kind::Photo ? AddPhoto : AddRelease);
    QByteArray document;
    if (!job->body.document(MaiaObject::prepareCall(method, {job->session->value(), part}), job->part, &document)) {
        fail(job->error, QStringLiteral("app"), QString::number(Unreadable), job->body.errorString());
        return finishJob();
    }
    QNetworkReply *reply = m_rpc->callDocument(std::move(document), this, SLOT(answered(QVariant &, QNetworkReply *)),
                                               this, SLOT(faulted(int, const QString &, QNetworkReply *)));
    watch(reply, pending, method);
    if (!reply)
        finishJob();
}

void XClient::answered(QVariant &answer, QNetworkReply *reply)
{
    const auto it = m_pending.find(reply);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
    if (pending.step != Step::Job)
        return loginAnswered(pending, answer);
    if (m_running && m_running->session == pending.session)
        jobAnswered(m_running, answer);
}

void XClient::jobAnswered(const QSharedPointer<Job> &job, const QVariant &answer)
{
    XServiceAnswer reader(answer);
    const QString xmlrpc = QStringLiteral("xmlrpc");
    const QString malformed = QString::number(MaiaFault::NotXmlRpc);
    // Every answered call renews the value, except the earnings query.
    if (job->kind != Kind::Earnings)
        job->session->renew();

    if (job->kind == Kind::Earnings) {
        QVariantMap first;
        if (!reader.firstOutput(&first)) {
            fail(job->error, xmlrpc, malformed, reader.error());
            return finishJob();
        }
        XEarningsCatalog catalog(XEarningsCatalog::defaultPath());
        switch (catalog.apply(first)) {
        case XEarningsCatalog::Updated: callBack(job->success); break;
        case XEarningsCatalog::Malformed: fail(job->error, xmlrpc, malformed, catalog.error()); break;
        case XEarningsCatalog::DatabaseFailed:
            fail(job->error, QStringLiteral("db"), QStringLiteral("-1"), catalog.error());
            break;
        }
        return finishJob();
    }

    QString status;
    QString message;
    if (!reader.status(&status, &message)) {
        fail(job->error, xmlrpc, malformed, reader.error());
        return finishJob();
    }
    if (status != QLatin1String("200")) {
        fail(job->error, QStringLiteral("app"), status, message);
        return finishJob();
    }
    switch (job->kind) {
    case Kind::Photo:
    case Kind::Release: {
        if (job->part < XUploadParts::Count - 1) {
            ++job->part;
            callBack(job->process, {job->part, int(XUploadParts::Count)});
            // The page may have been torn down by its own callback.
            if (m_running == job)
                sendPart(job);
            return;
        }
        callBack(job->process, {int(XUploadParts::Count), int(XUploadParts::Count)});
        QVariantMap first;
        QString response;
        if (!reader.firstOutput(&first) || !reader.text(first, QStringLiteral("response"), &response))
            fail(job->error, xmlrpc, malformed, reader.error());
        else
            callBack(job->success, {response});
        break;
    }
    case Kind::Check: {
        // No releases known is an empty list, not a malformed answer.
        const QVariant list = answer.toMap().value(QStringLiteral("output"));
        if (list.userType() != QMetaType::QVariantList)
            fail(job->error, xmlrpc, malformed, QStringLiteral("malformed answer: no \"output\" list"));
        else
            callBack(job->success, {list});
        break;
    }
    case Kind::Attach: {
        QVariantMap first;
        if (!reader.firstOutput(&first))
            fail(job->error, xmlrpc, malformed, reader.error());
        else
            callBack(job->success, {first});
        break;
    }
    case Kind::Earnings: break;
    }
    finishJob();
}

void XClient::faulted(int code, const QString &text, QNetworkReply *reply)
{
    const auto it = m_pending.find(reply);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
    fail(pending.error, QStringLiteral("xmlrpc"), QString::number(code), text);
    if (pending.step == Step::Job && m_running && m_running->session == pending.session)
        finishJob();
}
