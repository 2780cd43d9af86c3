#pragma once

#include <QObject>
#include <QString>

// A fault value that can be written as a complete fault response.
class MaiaFault : public QObject {
    Q_OBJECT

public:
    // Fault codes the library raises itself (XML-RPC interoperability fault codes).
    static const int TransportError = -32300;
    static const int NotXmlRpc = -32600;
    static const int NotWellFormed = -32700;

    explicit MaiaFault(int faultCode = 0, QString faultString = QString(), QObject *parent = nullptr);

    int code() const { return m_code; }
    QString string() const { return m_string; }

    QString toString() const;

private:
    int m_code;
    QString m_string;
};
