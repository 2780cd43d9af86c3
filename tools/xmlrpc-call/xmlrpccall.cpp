#include "xmlrpccall.h"

#include "jsonvariant.h"
#include "maiaxmlrpcclient.h"

#include <QCoreApplication>
#include <QNetworkReply>

#include <cstdio>

XmlRpcCall::XmlRpcCall(const QUrl &url, bool insecure, QObject *parent)
    : QObject(parent)
    , m_client(new MaiaXmlRpcClient(url, this))
{
    if (insecure) {
        connect(m_client, &MaiaXmlRpcClient::sslErrors, this,
                [](QNetworkReply *reply, const QList<QSslError> &) { reply->ignoreSslErrors(); });
    }
}

void XmlRpcCall::start(const QString &method, const QVariantList &args)
{
    m_client->call(method, args, this, SLOT(onResponse(QVariant &)), this, SLOT(onFault(int, const QString &)));
}

void XmlRpcCall::onResponse(QVariant &value)
{
    std::fputs(JsonVariant::format(value).toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    QCoreApplication::exit(0);
}

void XmlRpcCall::onFault(int code, const QString &text)
{
    std::fprintf(stderr, "%d: %s\n", code, text.toUtf8().constData());
    QCoreApplication::exit(1);
}
