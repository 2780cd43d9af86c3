#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

class QNetworkReply;

// Receives the outcome signals of XML-RPC calls. QSignalSpy cannot record
// the non-const QVariant& of aresponse, so this does it by hand.
class CallRecorder : public QObject {
    Q_OBJECT

public:
    struct Outcome {
        bool isFault = false;
        QVariant value;
        int code = 0;
        QString text;
        QString name; // the call's "name" property, read during the signal
        QNetworkReply *reply = nullptr;
    };

    explicit CallRecorder(QObject *parent = nullptr);

    int count() const { return m_outcomes.size(); }
    const Outcome &at(int i) const { return m_outcomes.at(i); }
    const Outcome &last() const { return m_outcomes.last(); }
    // Runs after each outcome was recorded, still inside the signal.
    void setAfter(std::function<void()> after) { m_after = std::move(after); }

public slots:
    void onResponse(QVariant &value, QNetworkReply *reply);
    void onFault(int code, const QString &text, QNetworkReply *reply);
    void onResponseOnly(QVariant &value);

signals:
    void recorded();

private:
    void record(Outcome outcome);

    QList<Outcome> m_outcomes;
    std::function<void()> m_after;
};
