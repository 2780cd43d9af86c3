#include "xprocess.h"

#include "xbyteform.h"
#include "xjavascriptapi.h"
#include "xjsliteral.h"

#include <QTextCodec>
#include <QTextDecoder>

XProcess::XProcess(XJavaScriptAPI *api, const QString &onFinish, const QString &onProcess, const QString &onError)
    : QProcess(api)
    , m_api(api)
    , m_onFinish(onFinish)
    , m_onProcess(onProcess)
    , m_onError(onError)
    , m_decoder(QTextCodec::codecForName("UTF-8")->makeDecoder())
{
}

XProcess::~XProcess()
{
    disconnect();
    if (state() != NotRunning) {
        kill();
        waitForFinished(5000);
    }
}

void XProcess::run(const QString &command)
{
    setProcessChannelMode(MergedChannels);
    // Connected before the start, so a program that cannot start is reported.
    if (!m_onFinish.isEmpty())
        connect(this, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &XProcess::_execFinished);
    if (!m_onError.isEmpty())
        connect(this, &QProcess::errorOccurred, this, &XProcess::_execError);
    if (!m_onProcess.isEmpty())
        connect(this, &QProcess::readyReadStandardOutput, this, &XProcess::_execProcess);

    QStringList parts = splitCommand(command);
    if (!parts.isEmpty()) {
        setProgram(parts.takeFirst());
        setArguments(parts);
    }
    start(ReadWrite);
    // Nothing ever writes to the program; one that reads its input would wait for ever.
    closeWriteChannel();
}

QString XProcess::callbackText(const QString &name, const QString &output)
{
    QString text = output;
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return name + QLatin1Char('(') + XJsLiteral::fromString(text) + QStringLiteral(");");
}

QString XProcess::takeOutput()
{
    return m_decoder->toUnicode(XByteForm::beforeZero(readAllStandardOutput()));
}

void XProcess::_execFinished(int, QProcess::ExitStatus)
{
    m_api->callBack(callbackText(m_onFinish, takeOutput()));
}

void XProcess::_execProcess()
{
    m_api->callBack(callbackText(m_onProcess, takeOutput()));
}

void XProcess::_execError(QProcess::ProcessError)
{
    m_api->callBack(m_onError + QStringLiteral("();"));
}
