#pragma once

#include <QString>
#include <QVariant>

// Writes XML-RPC documents straight to text, in the same layout as
// QDomDocument::toString(1) would give for the equivalent tree. Building
// a DOM first costs several times more for large calls (photo uploads).
class MaiaXmlWriter {
public:
    static QString methodCall(const QString &method, const QVariantList &args);
    static QString methodResponse(const QVariant &value);
    static QString faultResponse(int code, const QString &text);

    // Shortest text that reads back as the same double.
    static QString formatDouble(double value);
    // The characters XML 1.0 can carry; valid surrogate pairs are kept.
    static QString dropInvalidChars(const QString &text);

    // Brings a value to one of the types written directly (bool, int, qlonglong,
    // double, QString, QByteArray, QDateTime, QVariantList, QVariantMap); false
    // when it has no XML-RPC form.
    static bool normalise(QVariant *value);
    // True when the value and everything it holds have an XML-RPC form; else
    // *badType is the first type that has none.
    static bool canWrite(const QVariant &value, int *badType);

private:
    void writeDeclaration();
    void indent(int level);
    void writeValue(const QVariant &value, int level);
    void writeScalar(const char *tag, const QString &text, int level);
    void writeText(const QString &text);

    QString m_out;
};
