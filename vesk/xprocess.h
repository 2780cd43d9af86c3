#pragma once

#include <QProcess>
#include <QString>

#include <memory>

class QTextDecoder;
class XJavaScriptAPI;

// A program started by a page. Its output and end are reported by calling the
// page's callbacks in the frame of the API object that started it.
class XProcess : public QProcess {
    Q_OBJECT

public:
    // The API object is the parent: the program dies with it.
    XProcess(XJavaScriptAPI *api, const QString &onFinish, const QString &onProcess, const QString &onError);
    // Kills a program still running without calling back into a page that may be going away.
    ~XProcess() override;

    // Starts one command string (blanks separate, double quotes group).
    void run(const QString &command);

    // name + "(" + the output as a literal + ");", every CR turned into a blank.
    static QString callbackText(const QString &name, const QString &output);

public Q_SLOTS:
    void _execFinished(int a, QProcess::ExitStatus b);
    void _execProcess();
    void _execError(QProcess::ProcessError a);

private:
    QString takeOutput();

    XJavaScriptAPI *m_api = nullptr;
    QString m_onFinish;
    QString m_onProcess;
    QString m_onError;
    // One decoder for the whole run, so a character split between two reads arrives whole.
    std::unique_ptr<QTextDecoder> m_decoder;
};
