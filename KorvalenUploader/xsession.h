#pragma once

#include "xrestrictions.h"

#include <QString>

// One signed-in conversation with the service: the credentials it was opened
// with, the value the next call carries, and the restrictions it received.
class XSession {
public:
    XSession(QString clientId, QString clientKey, QString passwordDigest);

    // The service's rule: the first 48 characters of the value, then the MD5
    // hex digest of value + password digest + client key.
    static QString renewed(const QString &value, const QString &passwordDigest, const QString &clientKey);
    static QString passwordDigest(const QString &password);

    QString clientId() const { return m_clientId; }
    QString value() const { return m_value; }
    void setValue(const QString &value) { m_value = value; }
    void renew();

    XRestrictions photo;
    XRestrictions release;

private:
    QString m_clientId;
    QString m_clientKey;
    QString m_passwordDigest;
    QString m_value;
};
