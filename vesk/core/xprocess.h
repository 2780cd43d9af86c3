#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QVariantList>

#include "xjsliteral.h"

#include <memory>

class QTextDecoder;

// A program started by a page. Its output and end are reported by calling the
// page's callbacks through the evaluator of the page that started it. Once its end
// is reported the object deletes itself: a page may run programs without end.
class XProcess : public QProcess {
    Q_OBJECT

public:
    // The program dies with its parent.
    XProcess(const XJsLiteral::Evaluator &callBack, QObject *parent, const QString &onFinish,
             const QString &onProcess, const QString &onError);
    // Kills a program still running without calling back into a page that may be going away.
    ~XProcess() override;

    // Starts the program (the first element) with the other elements as its
    // arguments, as they are: no shell, no splitting. An empty list cannot start.
    void run(const QStringList &program);

    // name + "(" + the output as a literal, then each further argument as a
    // literal, + ");", every CR of the output turned into a blank.
    static QString callbackText(const QString &name, const QString &output, const QVariantList &more = {});

public Q_SLOTS:
    void _execFinished(int a, QProcess::ExitStatus b);
    void _execProcess();
    void _execError(QProcess::ProcessError a);

private:
    QString takeOutput();
    // Output kept for onFinish, up to the ceiling of page text; the rest is counted.
    void collect(const QByteArray &bytes);
    QString takeCollected();
    void end();

    XJsLiteral::Evaluator m_callBack;
    QString m_onFinish;
    QString m_onProcess;
    QString m_onError;
    // One decoder for the whole run, so a character split between two reads arrives whole.
    std::unique_ptr<QTextDecoder> m_decoder;
    QByteArray m_collected;
    qint64 m_dropped = 0;
};
