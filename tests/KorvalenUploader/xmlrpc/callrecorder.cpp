#include "callrecorder.h"

CallRecorder::CallRecorder(QObject *parent)
    : QObject(parent)
{
}

void CallRecorder::onResponse(QVariant &value, QNetworkReply *reply)
{
    Outcome outcome;
    outcome.value = value;
    outcome.reply = reply;
    record(outcome);
}

void CallRecorder::onFault(int code, const QString &text, QNetworkReply *reply)
{
    Outcome outcome;
    outcome.isFault = true;
    outcome.code = code;
    outcome.text = text;
    outcome.reply = reply;
    record(outcome);
}

void CallRecorder::onResponseOnly(QVariant &value)
{
    onResponse(value, nullptr);
}

void CallRecorder::record(Outcome outcome)
{
    if (sender())
        outcome.name = sender()->property("name").toString();
    m_outcomes.append(outcome);
    emit recorded();
    if (m_after)
        m_after();
}
