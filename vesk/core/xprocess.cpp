#include "core/xprocess.h"

#include "core/xbyteform.h"

#include <QTextCodec>
#include <QTextDecoder>

XProcess::XProcess(const XJsLiteral::Evaluator &callBack, QObject *parent, const QString &onFinish,
                   const QString &onProcess, const QString &onError)
    : QProcess(parent)
    , m_callBack(callBack)
    , m_onFinish(onFinish)
    , m_onProcess(onProcess)
    , m_onError(onError)
    , m_decoder(QTextCodec::codecForName("UTF-8")->makeDecoder())
{
}

XProcess::~XProcess()
{
    disconnect(this, nullptr, this, nullptr);
    if (state() != NotRunning) {
        kill();
        waitForFinished(5000);
    }
}

void XProcess::run(const QStringList &program)
{
    setProcessChannelMode(MergedChannels);
    // Connected before the start, so a program that cannot start is reported. All
    // three always: the end frees this object, and output that no callback takes
    // must still be read, or the process buffer keeps it all.
    connect(this, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &XProcess::_execFinished);
    connect(this, &QProcess::errorOccurred, this, &XProcess::_execError);
    connect(this, &QProcess::readyReadStandardOutput, this, &XProcess::_execProcess);

    QStringList parts = program;
    if (!parts.isEmpty()) {
        setProgram(parts.takeFirst());
        setArguments(parts);
    }
    start(ReadWrite);
    // Nothing ever writes to the program; one that reads its input would wait for ever.
    closeWriteChannel();
}

QString XProcess::callbackText(const QString &name, const QString &output, const QVariantList &more)
{
    QString text = output;
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return XJsLiteral::call(name, QVariantList {text} + more);
}

QString XProcess::takeOutput()
{
    return m_decoder->toUnicode(XByteForm::beforeZero(readAllStandardOutput()));
}

void XProcess::collect(const QByteArray &bytes)
{
    if (m_onFinish.isEmpty())
        return;
    const qint64 room = qMax(XByteForm::kPageTextCeiling - m_collected.size(), qint64(0));
    if (bytes.size() <= room) {
        m_collected += bytes;
        return;
    }
    m_collected.append(bytes.constData(), int(room));
    m_dropped += bytes.size() - room;
}

QString XProcess::takeCollected()
{
    const int zero = m_collected.indexOf('\0');
    const QString text = m_decoder->toUnicode(m_collected.constData(), zero < 0 ? m_collected.size() : zero);
    m_collected = QByteArray();
    return text;
}

void XProcess::end()
{
    disconnect(this, nullptr, this, nullptr);
    deleteLater();
}

void XProcess::_execFinished(int a, QProcess::ExitStatus b)
{
    if (!m_onFinish.isEmpty()) {
        QString output;
        if (m_onProcess.isEmpty()) {
            collect(readAllStandardOutput());
            output = takeCollected();
        } else {
            output = takeOutput();
        }
        m_callBack(callbackText(m_onFinish, output, {a, b == CrashExit, m_dropped}));
    }
    end();
}

void XProcess::_execProcess()
{
    if (m_onProcess.isEmpty())
        collect(readAllStandardOutput());
    else
        m_callBack(callbackText(m_onProcess, takeOutput()));
}

void XProcess::_execError(QProcess::ProcessError a)
{
    if (!m_onError.isEmpty())
        m_callBack(XJsLiteral::call(m_onError));
    // A program that never started never reports its end.
    if (a == FailedToStart)
        end();
}
