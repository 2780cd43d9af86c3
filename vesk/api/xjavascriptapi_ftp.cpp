#include "api/xjavascriptapi.h"

#include "page/xpagebinding.h"
#include "qftp/xftp.h"

#include <QWebFrame>

XFTP *XJavaScriptAPI::makeConnection(int *handle)
{
    // A child: when this object goes its connections are closed with it and
    // report nothing more.
    auto *connection = new XFTP([this](const QString &script) { callBack(script); }, this);
    if (*handle > 0)
        m_ftp.insert(*handle, connection);
    else
        *handle = m_ftp.add(connection);
    const int id = *handle;
    connect(connection, &XFTP::ended, this, [this, id, connection] {
        if (m_ftp.value(id) != connection)
            return;
        m_ftp.release(id);
        connection->deleteLater();
    });
    return connection;
}

XFTP *XJavaScriptAPI::ftp(int pftp)
{
    if (XFTP *connection = m_ftp.value(pftp))
        return connection;
    if (!m_ftp.wasIssued(pftp))
        return nullptr;
    return makeConnection(&pftp);
}

int XJavaScriptAPI::_ftpConnect(const QString &server, int port, const QString &callback_state)
{
    if (server.trimmed().isEmpty() || port < 1 || port > 65535)
        return 0;
    int handle = 0;
    XFTP *connection = makeConnection(&handle);
    connection->setStateCallback(callback_state);
    connection->queueConnect(server.trimmed(), quint16(port));
    return handle;
}

void XJavaScriptAPI::_ftpLogin(int pftp, const QString &username, const QString &password, const QString &callback_ok,
                               const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueLogin(username, password, callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpClose(int pftp, const QString &callback_ok, const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueClose(callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpList(int pftp, const QString &callback_ok, const QString &callback_error,
                              const QString &callback_list)
{
    if (XFTP *c = ftp(pftp))
        c->queueList(callback_ok, callback_error, callback_list);
}

void XJavaScriptAPI::_ftpCd(int pftp, const QString &dir, const QString &callback_ok, const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueCd(dir, callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpMkdir(int pftp, const QString &dir, const QString &callback_ok, const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueMkdir(dir, callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpRemove(int pftp, const QString &file, const QString &callback_ok,
                                const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueRemove(file, callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpRmdir(int pftp, const QString &dir, const QString &callback_ok, const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueRmdir(dir, callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpRename(int pftp, const QString &src, const QString &dst, const QString &callback_ok,
                                const QString &callback_error)
{
    if (XFTP *c = ftp(pftp))
        c->queueRename(src, dst, callback_ok, callback_error);
}

void XJavaScriptAPI::_ftpPut(int pftp, const QString &src, const QString &dst, const QString &callback_ok,
                             const QString &callback_error, const QString &callback_process)
{
    if (XFTP *c = ftp(pftp))
        c->queuePut(src, dst, callback_ok, callback_error, callback_process);
}

void XJavaScriptAPI::_ftpGet(int pftp, const QString &src, const QString &dst, const QString &callback_ok,
                             const QString &callback_error, const QString &callback_process)
{
    if (XFTP *c = ftp(pftp))
        c->queueGet(src, dst, callback_ok, callback_error, callback_process);
}

void XJavaScriptAPI::ftpAbort(int pftp)
{
    // An ended connection has nothing to abort.
    if (XFTP *c = m_ftp.value(pftp))
        c->abort();
}

int XJavaScriptAPI::ftpState(int pftp)
{
    if (XFTP *c = m_ftp.value(pftp))
        return int(c->state());
    return m_ftp.wasIssued(pftp) ? int(QFtp::Unconnected) : -1;
}
