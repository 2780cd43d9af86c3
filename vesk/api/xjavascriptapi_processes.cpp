#include "api/xjavascriptapi.h"

#include "core/xbyteform.h"
#include "core/xprocess.h"
#include "platform/xplatform.h"

#include <QCoreApplication>

void XJavaScriptAPI::exit(int code)
{
    // Returns to the page; the program ends once control is back in the event loop.
    QCoreApplication::exit(code);
}

int XJavaScriptAPI::startProcess(const QString &command, const QString &onFinish, const QString &onProcess,
                                 const QString &onError)
{
    // Ids are handed out before the start, so a program that cannot start still has one.
    auto *process = new XProcess([this](const QString &script) { callBack(script); }, this, onFinish, onProcess,
                                 onError);
    const int id = m_processes.add(process);
    // A finished program frees itself; its id then answers as one never given.
    connect(process, &QObject::destroyed, this, [this, id] { m_processes.release(id); });
    process->run(command);
    return id;
}

int XJavaScriptAPI::_exec(const QVariant &command, const QString &onFinish, const QString &onProcess,
                          const QString &onError)
{
    return startProcess(QString::fromUtf8(XByteForm::ofVariant(command)), onFinish, onProcess, onError);
}

int XJavaScriptAPI::execOEMCP(const QVariant &command, const QString &onFinish, const QString &onProcess,
                              const QString &onError)
{
    return startProcess(QString::fromLatin1(XByteForm::ofVariant(command)), onFinish, onProcess, onError);
}

int XJavaScriptAPI::wsystem(const QVariant &command)
{
    XPlatform::runShell(command.toString());
    return 0;
}

void XJavaScriptAPI::killExec(int execId)
{
    XProcess *process = m_processes.value(execId);
    if (process && process->state() != QProcess::NotRunning)
        process->kill();
}

void XJavaScriptAPI::system(const QString &command)
{
    XPlatform::startDetached(command);
}
