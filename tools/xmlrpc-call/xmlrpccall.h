#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class MaiaXmlRpcClient;
class QNetworkReply;

// One call from the command line: prints the outcome and ends the event loop.
class XmlRpcCall : public QObject {
    Q_OBJECT

public:
    XmlRpcCall(const QUrl &url, bool insecure, QObject *parent = nullptr);

    void start(const QString &method, const QVariantList &args);

private slots:
    void onResponse(QVariant &value);
    void onFault(int code, const QString &text);

private:
    MaiaXmlRpcClient *m_client;
};
