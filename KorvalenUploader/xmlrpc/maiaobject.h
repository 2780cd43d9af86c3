#pragma once

#include <QDomElement>
#include <QObject>
#include <QString>
#include <QVariant>

class QNetworkReply;

// One XML-RPC call in flight; also the home of the value conversions.
class MaiaObject : public QObject {
    Q_OBJECT

public:
    explicit MaiaObject(QObject *parent = nullptr);

    static QDomElement toXml(QVariant arg);
    static QVariant fromXml(const QDomElement &elem);
    static QString prepareCall(QString method, QVariantList args);
    static QString prepareResponse(QVariant value);

signals:
    void aresponse(QVariant &, QNetworkReply *reply);
    void call(QString, QVariantList);
    void fault(int, const QString &, QNetworkReply *reply);

public slots:
    void parseResponse(QString response, QNetworkReply *reply);
    // Reports a failure found before any response could be read; like
    // parseResponse it emits once and then deletes this object later.
    void deliverFault(int code, const QString &text, QNetworkReply *reply);
};
