#pragma once

#include <QStringList>
#include <QUrl>

// A link of the "app://" scheme, split into its verb and the segments after it.
class XAppLink {
public:
    enum Verb { NotAppLink, Alert, Call, Unknown };

    static XAppLink parse(const QUrl &url);

    Verb verb() const { return m_verb; }
    // Segments after the verb; the query part is not used.
    QStringList arguments() const { return m_arguments; }
    // What an alert link shows: the segments joined with no separator.
    QString alertText() const { return m_arguments.join(QString()); }

private:
    Verb m_verb = NotAppLink;
    QStringList m_arguments;
};
