#include "xsession.h"

#include <QCryptographicHash>

XSession::XSession(QString clientId, QString clientKey, QString passwordDigest)
    : m_clientId(std::move(clientId))
    , m_clientKey(std::move(clientKey))
    , m_passwordDigest(std::move(passwordDigest))
{
}

QString XSession::renewed(const QString &value, const QString &passwordDigest, const QString &clientKey)
{
    const QByteArray digest =
        QCryptographicHash::hash((value + passwordDigest + clientKey).toUtf8(), QCryptographicHash::Md5).toHex();
    return value.left(48) + QString::fromLatin1(digest);
}

QString XSession::passwordDigest(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toLatin1(), QCryptographicHash::Md5).toHex());
}

void XSession::renew()
{
    m_value = renewed(m_value, m_passwordDigest, m_clientKey);
}
