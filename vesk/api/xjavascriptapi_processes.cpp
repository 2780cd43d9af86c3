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

int XJavaScriptAPI::startProcess(const QStringList &program, const QString &onFinish, const QString &onProcess,
                                 const QString &onError)
{
    // Ids are handed out before the start, so a program that cannot start still has one.
    auto *process = new XProcess([this](const QString &script) { callBack(script); }, this, onFinish, onProcess,
                                 onError);
    const int id = m_processes.add(process);
    // A finished program frees itself; its id then answers as one never given.
    connect(process, &QObject::destroyed, this, [this, id] { m_processes.release(id); });
    process->run(program);
    return id;
}

int XJavaScriptAPI::startCommand(const QVariant &command, bool latin1, const QString &onFinish,
                                 const QString &onProcess, const QString &onError)
{
    QStringList program;
    if (XByteForm::isList(command)) {
        // A bad array starts nothing and takes no id: the page learns at once.
        if (!XByteForm::ofArgumentList(command, latin1, &program))
            return 0;
    } else {
        const QByteArray bytes = XByteForm::ofVariant(command);
        program = QProcess::splitCommand(latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes));
    }
    return startProcess(program, onFinish, onProcess, onError);
}

int XJavaScriptAPI::_exec(const QVariant &command, const QString &onFinish, const QString &onProcess,
                          const QString &onError)
{
    return startCommand(command, false, onFinish, onProcess, onError);
}

int XJavaScriptAPI::execOEMCP(const QVariant &command, const QString &onFinish, const QString &onProcess,
                              const QString &onError)
{
    return startCommand(command, true, onFinish, onProcess, onError);
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
