#pragma once

#include <QPair>
#include <QString>
#include <QStringRef>
#include <QVector>

// A strict, non-validating XML 1.0 pull tokenizer for XML-RPC documents.
// It checks well-formedness as it goes, never expands anything but the
// predefined entities and character references, refuses document type
// declarations, and keeps open elements on a heap stack rather than the
// call stack. It exists because QXmlStreamReader is several times slower
// on the large Base64 texts that photo uploads carry.
class MaiaXmlTokenizer {
public:
    enum Token { NoToken, StartElement, EndElement, Characters, EndDocument, Invalid };

    static const int MaxAttributes = 64;

    explicit MaiaXmlTokenizer(const QString &source);

    Token readNext();
    Token tokenType() const { return m_token; }
    bool atEnd() const { return m_token == EndDocument || m_token == Invalid; }
    bool hasError() const { return m_token == Invalid; }

    // The element name of a StartElement or EndElement.
    QStringRef name() const { return QStringRef(&m_source, m_nameStart, m_nameLength); }
    // The text of a Characters token, references resolved, line ends normalised.
    const QString &text() const { return m_text; }
    bool isCData() const { return m_cdata; }
    bool isWhitespace() const;

    void raiseError(const QString &message);
    QString errorString() const { return m_error; }
    qint64 lineNumber() const;

private:
    Token fail(const QString &message);
    bool startsWith(const char *literal) const;
    bool skipSpace();
    bool parseName(int *start, int *length);
    bool parseDeclaration();
    bool parseReference(QString *into);
    bool checkChars(int from, int to);
    bool appendNormalised(int from, int to, QString *into);
    Token parseStartTag();
    Token parseEndTag();
    Token parseCharData();
    Token parseCData();
    bool skipComment();
    bool skipProcessingInstruction();

    const QString m_source;
    const QChar *m_data;
    int m_size;
    int m_pos;
    int m_errorPos;
    Token m_token;
    QVector<QPair<int, int>> m_open;
    bool m_rootSeen;
    bool m_pendingEnd;
    int m_nameStart;
    int m_nameLength;
    QString m_text;
    bool m_cdata;
    QString m_error;
    QVector<QPair<int, int>> m_attributes;
};
