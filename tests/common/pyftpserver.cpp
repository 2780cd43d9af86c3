#include "pyftpserver.h"

#include <QFile>

PyFtpServer::~PyFtpServer()
{
    stop();
}

bool PyFtpServer::start(const QString &home, const QString &host)
{
    QString script = qEnvironmentVariable("QFTP_TEST_SERVER");
    if (script.isEmpty())
        script = qEnvironmentVariable("VESK_SOURCE_DIR") + QStringLiteral("/tests/vesk/qftp/qftp/ftpserver.py");
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(script) || !QFile::exists(python)) {
        m_error = QStringLiteral("No FTP server for the test: %1 and %2 are needed (scripts/install-deps.sh)")
                      .arg(python, script);
        return false;
    }
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(python, {script, host, home});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(python, m_process.errorString());
        return false;
    }
    // The script prints its port once it listens, or an error line and exits.
    QByteArray line;
    while (!line.contains('\n') && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(10000);
        line += m_process.readAllStandardOutput();
    }
    line += m_process.readAllStandardOutput();
    if (!line.startsWith("PORT ")) {
        m_error = QStringLiteral("No FTP server for the test: python3-pyftpdlib is needed (scripts/install-deps.sh). "
                                 "Server said: %1 %2")
                      .arg(QString::fromLocal8Bit(line.trimmed()),
                           QString::fromLocal8Bit(m_process.readAllStandardError().trimmed()));
        return false;
    }
    m_port = quint16(line.mid(5).trimmed().toUInt());
    return true;
}

void PyFtpServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Closing its input is how the script is told to end.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
