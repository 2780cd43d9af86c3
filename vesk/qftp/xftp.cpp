#include "qftp/xftp.h"

#include "platform/xplatform.h"
#include "xjsliteral.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

namespace {
// At most 20 progress calls a second: each one runs page script on the GUI thread.
constexpr qint64 kProgressInterval = 50;
// Downloaded data go to the disk in steps of this size while more arrive.
constexpr qint64 kWritebackStep = 8 * 1024 * 1024;

} // namespace

XFTP::XFTP(const Evaluator &evaluate, QObject *parent)
    : QFtp(parent)
    , m_evaluate(evaluate)
{
    connect(this, &QFtp::stateChanged, this, &XFTP::connectionStateChanged);
    connect(this, &QFtp::listInfo, this, &XFTP::listInfo2);
    connect(this, &QFtp::dataTransferProgress, this, &XFTP::viewProgress);
    connect(this, &QFtp::commandFinished, this, &XFTP::finishCommand);
    connect(this, &QFtp::done, this, &XFTP::scheduleEndCheck);
    m_progressRelease.setSingleShot(true);
    connect(&m_progressRelease, &QTimer::timeout, this, &XFTP::releaseHeldProgress);
}

XFTP::~XFTP()
{
    // The engine's teardown below must not reach a page that may be gone.
    disconnect(this, nullptr, this, nullptr);
    detach();
}

QString XFTP::stateName(int state)
{
    switch (state) {
    case Unconnected: return QStringLiteral("Unconnected");
    case HostLookup: return QStringLiteral("Host Lookup");
    case Connecting: return QStringLiteral("Connecting");
    case Connected: return QStringLiteral("Connected");
    case LoggedIn: return QStringLiteral("Login");
    case Closing: return QStringLiteral("Closing");
    default: return QString();
    }
}

QString XFTP::stateCall(const QString &callback, int state)
{
    return XJsLiteral::call(callback, {state, stateName(state)});
}

QString XFTP::errorCall(const QString &callback, int code, const QString &text)
{
    return XJsLiteral::callWithLiterals(
        callback, {XJsLiteral::orderedObject({{QStringLiteral("error_code"), code}, {QStringLiteral("error_text"), text}})});
}

QString XFTP::listEntryCall(const QString &callback, const QUrlInfo &info)
{
    // The fields in the order pages have always seen them.
    const QString entry = XJsLiteral::orderedObject({
        {QStringLiteral("permissions"), info.permissions()},
        {QStringLiteral("owner"), info.owner()},
        {QStringLiteral("group"), info.group()},
        {QStringLiteral("size"), info.size()},
        {QStringLiteral("is_dir"), info.isDir()},
        {QStringLiteral("is_file"), info.isFile()},
        {QStringLiteral("is_symlink"), info.isSymLink()},
        {QStringLiteral("is_writeble"), info.isWritable()},
        {QStringLiteral("is_readable"), info.isReadable()},
        {QStringLiteral("is_executable"), info.isExecutable()},
    });
    return XJsLiteral::callWithLiterals(callback, {XJsLiteral::fromString(info.name()), entry});
}

QString XFTP::progressCall(const QString &callback, qint64 done, qint64 total)
{
    return XJsLiteral::call(callback, {done, total});
}

int XFTP::file(int id, const Pending &pending)
{
    // The engine starts its queue from the event loop, so filing now is still
    // before anything of the command can be reported.
    m_commands.insert(id, pending);
    return id;
}

int XFTP::queueConnect(const QString &host, quint16 port)
{
    return file(connectToHost(host, port), Pending());
}

int XFTP::queueLogin(const QString &user, const QString &password, const QString &ok, const QString &error)
{
    return file(login(user, password), {ok, error, QString()});
}

int XFTP::queueClose(const QString &ok, const QString &error)
{
    return file(close(), {ok, error, QString()});
}

int XFTP::queueList(const QString &ok, const QString &error, const QString &list)
{
    return file(QFtp::list(), {ok, error, list});
}

int XFTP::queueCd(const QString &dir, const QString &ok, const QString &error)
{
    return file(cd(dir), {ok, error, QString()});
}

int XFTP::queueMkdir(const QString &dir, const QString &ok, const QString &error)
{
    return file(mkdir(dir), {ok, error, QString()});
}

int XFTP::queueRemove(const QString &file, const QString &ok, const QString &error)
{
    return this->file(remove(file), {ok, error, QString()});
}

int XFTP::queueRmdir(const QString &dir, const QString &ok, const QString &error)
{
    return file(rmdir(dir), {ok, error, QString()});
}

int XFTP::queueRename(const QString &src, const QString &dst, const QString &ok, const QString &error)
{
    return file(rename(src, dst), {ok, error, QString()});
}

int XFTP::queuePut(const QString &src, const QString &dst, const QString &ok, const QString &error,
                   const QString &progress)
{
    const QFileInfo info(src);
    if (src.isEmpty() || !info.isFile() || !info.isReadable()) {
        failLater(error, QStringLiteral("Uploading file failed:\nCannot read the local file \"%1\"").arg(src));
        return 0;
    }
    Pending pending {ok, error, progress};
    // Handed over unopened: the engine opens it when the upload starts and closes it after.
    pending.upload = new QFile(src);
    return file(put(pending.upload, dst, Binary), pending);
}

int XFTP::queueGet(const QString &src, const QString &dst, const QString &ok, const QString &error,
                   const QString &progress)
{
    // Written next to dst and renamed over it only when the download succeeds,
    // so a failed one leaves an existing file as it was.
    auto *target = new QSaveFile(dst);
    if (dst.isEmpty() || QFileInfo(dst).isDir() || !target->open(QIODevice::WriteOnly)) {
        const QString why =
            dst.isEmpty() || QFileInfo(dst).isDir() ? QStringLiteral("not a file name") : target->errorString();
        delete target;
        failLater(error,
                  QStringLiteral("Downloading file failed:\nCannot write the local file \"%1\": %2").arg(dst, why));
        return 0;
    }
    Pending pending {ok, error, progress};
    pending.download = target;
    return file(get(src, target, Binary), pending);
}

void XFTP::failLater(const QString &error, const QString &text)
{
    if (error.isEmpty())
        return;
    ++m_lateReports;
    QTimer::singleShot(0, this, [this, error, text]() {
        --m_lateReports;
        evaluate(errorCall(error, UnknownError, text));
        scheduleEndCheck();
    });
}

bool XFTP::hasEnded() const
{
    return state() == Unconnected && currentCommand() == None && m_commands.isEmpty() && m_lateReports == 0;
}

void XFTP::scheduleEndCheck()
{
    // Never from inside the engine's own signals: the owner may delete us.
    if (m_endCheckQueued)
        return;
    m_endCheckQueued = true;
    QTimer::singleShot(0, this, &XFTP::checkEnded);
}

void XFTP::checkEnded()
{
    m_endCheckQueued = false;
    if (hasEnded())
        emit ended();
}

void XFTP::detach()
{
    m_evaluate = nullptr;
    m_stateCallback.clear();
    const QHash<int, Pending> commands = m_commands;
    m_commands.clear();
    for (const Pending &pending : commands)
        discard(pending);
}

void XFTP::discard(const Pending &pending)
{
    // An uncommitted save file removes its temporary file.
    delete pending.upload;
    delete pending.download;
}

void XFTP::evaluate(const QString &script)
{
    if (m_evaluate) {
        const Evaluator evaluate = m_evaluate;
        evaluate(script);
    }
}

void XFTP::connectionStateChanged(int state)
{
    if (!m_stateCallback.isEmpty())
        evaluate(stateCall(m_stateCallback, state));
    if (state == Unconnected)
        scheduleEndCheck();
}

void XFTP::listInfo2(const QUrlInfo &info)
{
    // The listing's own callback, whatever has been queued since.
    const QString callback = m_commands.value(currentId()).third;
    if (!callback.isEmpty())
        evaluate(listEntryCall(callback, info));
}

void XFTP::viewProgress(qint64 done, qint64 total)
{
    // A listing's data count too, but its third callback takes entries.
    if (currentCommand() != Get && currentCommand() != Put)
        return;
    const int id = currentId();
    const auto pending = m_commands.constFind(id);
    if (pending == m_commands.constEnd())
        return;
    if (pending->download)
        writeBack(id, pending->download, done);
    const QString callback = pending->third;
    if (callback.isEmpty())
        return;
    if (m_progressId != id) {
        m_progressId = id;
        m_progressClock.invalidate();
    }
    m_progressDone = done;
    m_progressTotal = total;
    m_progressHeld = true;
    const bool last = total >= 0 && done >= total;
    if (last || !m_progressClock.isValid() || m_progressClock.elapsed() >= kProgressInterval)
        deliverProgress(callback);
    else if (!m_progressRelease.isActive())
        m_progressRelease.start(int(kProgressInterval - m_progressClock.elapsed()));
}

void XFTP::writeBack(int id, QSaveFile *download, qint64 done)
{
    if (m_writebackId != id) {
        m_writebackId = id;
        m_writtenBack = 0;
    }
    if (done - m_writtenBack < kWritebackStep)
        return;
    XPlatform::startWriteback(download, m_writtenBack, done - m_writtenBack);
    m_writtenBack = done;
}

void XFTP::releaseHeldProgress()
{
    if (!m_progressHeld || m_progressId == 0 || m_progressId != currentId())
        return;
    const QString callback = m_commands.value(m_progressId).third;
    if (!callback.isEmpty())
        deliverProgress(callback);
}

void XFTP::deliverProgress(const QString &callback)
{
    m_progressRelease.stop();
    m_progressHeld = false;
    m_progressClock.start();
    evaluate(progressCall(callback, m_progressDone, m_progressTotal));
}

void XFTP::finishCommand(int id, bool error)
{
    const Pending pending = m_commands.take(id);
    if (error) {
        // The engine has dropped every command queued behind the failing one.
        const QHash<int, Pending> dropped = m_commands;
        m_commands.clear();
        for (const Pending &p : dropped)
            discard(p);
    }
    if (m_progressId == id) {
        m_progressId = 0;
        m_progressRelease.stop();
        if (m_progressHeld && !pending.third.isEmpty())
            deliverProgress(pending.third);
        m_progressHeld = false;
    }

    int code = this->error();
    QString text = errorString();
    bool failed = error;
    if (pending.download && !error && !pending.download->commit()) {
        failed = true;
        code = UnknownError;
        text = QStringLiteral("Downloading file failed:\nCannot write the local file \"%1\": %2")
                   .arg(pending.download->fileName(), pending.download->errorString());
    }
    discard(pending);

    if (!failed && !pending.ok.isEmpty())
        evaluate(XJsLiteral::call(pending.ok));
    else if (failed && !pending.error.isEmpty())
        evaluate(errorCall(pending.error, code, text));
}
