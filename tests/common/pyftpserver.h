#pragma once

#include <QProcess>
#include <QString>

// pyftpdlib (tests/vesk/qftp/qftp/ftpserver.py) on a free port of host, serving
// home, user "user", password "pass"; stopped when this goes.
class PyFtpServer {
public:
    PyFtpServer() = default;
    ~PyFtpServer();

    // False with a reason in error() when no server could be started.
    bool start(const QString &home, const QString &host = QStringLiteral("127.0.0.1"));
    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    void stop();

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
