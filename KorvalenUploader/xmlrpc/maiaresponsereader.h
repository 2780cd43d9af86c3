#pragma once

#include "maiaxmltokenizer.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>

// Reads an XML-RPC response document in one streaming pass, with the same
// conversions as MaiaObject::fromXml. It refuses document type declarations
// before anything is expanded and bounds the nesting of values, so a broken
// or hostile server cannot exhaust memory or the stack.
class MaiaResponseReader {
public:
    // InvalidValue: well-formed, but a scalar's text is not a value of its type.
    enum Outcome { Response, Fault, NotWellFormed, NotXmlRpc, InvalidValue };

    static const int MaxValueDepth = 256;
    static const int MaxSharedKeys = 4096;

    explicit MaiaResponseReader(const QString &text);

    // Decodes a response body by its XML declaration's encoding (UTF-8 when
    // there is none; UTF-16 by its byte order mark or its first bytes).
    static bool decode(const QByteArray &body, QString *text, QString *error);

    Outcome read();

    QVariant value() const { return m_value; }
    qint64 errorLine() const { return m_errorLine; }
    QString errorText() const { return m_errorText; }

private:
    bool nextStartElementChild();
    void skipElement();
    QString elementText();
    QVariant readValue(int depth);
    QVariant readTyped(int depth);
    QVariant readArray(int depth);
    QVariant readStruct(int depth);
    QVariant readScalar(const QString &type, const std::function<bool(const QString &, QVariant *)> &read);
    QString sharedKey(const QString &key);
    void fail(const QString &text);
    bool finish();

    MaiaXmlTokenizer m_reader;
    QVariant m_value;
    qint64 m_errorLine;
    QString m_errorText;
    bool m_failed;
    bool m_invalidValue;
    QHash<QString, QString> m_keys;
};
