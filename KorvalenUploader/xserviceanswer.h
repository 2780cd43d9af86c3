#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// Reads the service's answers. Every reader returns false with a text naming
// what was missing, so a malformed answer ends its operation clearly.
class XServiceAnswer {
public:
    explicit XServiceAnswer(const QVariant &answer);

    QString error() const { return m_error; }

    // The answer as a struct.
    bool root(QVariantMap *map);
    // The list under "output", at least one element long.
    bool output(QVariantList *list);
    // The first element of "output", a struct.
    bool firstOutput(QVariantMap *map);
    // "status" and "statusMessage" of the answer struct; status must be there.
    bool status(QString *status, QString *message);
    // A text (string or number) under key.
    bool text(const QVariantMap &map, const QString &key, QString *value);
    // A number (int, i8 or double) under key.
    bool number(const QVariantMap &map, const QString &key, double *value);

private:
    bool fail(const QString &text);

    QVariant m_answer;
    QString m_error;
};
