#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>

// The Python stand-in for the upload service, on a loopback port for the
// lifetime of the object; what it logs is read back as JSON objects.
class StandIn {
public:
    explicit StandIn(const QJsonObject &config, const QString &folder);
    ~StandIn();

    bool isRunning() const { return m_port > 0; }
    QString endpoint() const;
    // Every call and event the service logged so far.
    QJsonArray log();
    // Logged entries of one method (or event when method is empty).
    QJsonArray entries(const QString &method, const QString &event = QString());

private:
    QProcess m_process;
    QByteArray m_pending;
    QJsonArray m_log;
    int m_port = 0;
};
