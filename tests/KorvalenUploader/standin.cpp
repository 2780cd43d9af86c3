#include "standin.h"

#include <QFile>
#include <QJsonDocument>

StandIn::StandIn(const QJsonObject &config, const QString &folder)
{
    const QString configPath = folder + QStringLiteral("/standin.json");
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QJsonDocument(config).toJson());
    file.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"), {QStringLiteral(UPLOADER_STANDIN), configPath});
    if (!m_process.waitForStarted(10000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) { }
    m_port = m_process.readLine().trimmed().toInt();
}

StandIn::~StandIn()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

QString StandIn::endpoint() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

QJsonArray StandIn::log()
{
    m_pending += m_process.readAllStandardOutput();
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_log.append(QJsonDocument::fromJson(m_pending.left(end)).object());
        m_pending.remove(0, end + 1);
    }
    return m_log;
}

QJsonArray StandIn::entries(const QString &method, const QString &event)
{
    QJsonArray found;
    for (const QJsonValue &entry : log()) {
        const QJsonObject o = entry.toObject();
        if (o.value(QStringLiteral("method")).toString() == method
            && o.value(QStringLiteral("event")).toString() == event)
            found.append(o);
    }
    return found;
}
