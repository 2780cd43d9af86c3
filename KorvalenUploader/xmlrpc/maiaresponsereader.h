#pragma once

#include "maiaxmltokenizer.h"

#include <QString>
#include <QVariant>

// Reads an XML-RPC response document in one streaming pass, with the same
// conversions as MaiaObject::fromXml. It refuses document type declarations
// before anything is expanded and bounds the nesting of values, so a broken
// or hostile server cannot exhaust memory or the stack.
class MaiaResponseReader {
public:
    enum Outcome { Response, Fault, NotWellFormed, NotXmlRpc };

    static const int MaxValueDepth = 256;

    explicit MaiaResponseReader(const QString &text);

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
    void fail(const QString &text);
    bool finish();

    MaiaXmlTokenizer m_reader;
    QVariant m_value;
    qint64 m_errorLine;
    QString m_errorText;
    bool m_failed;
};
