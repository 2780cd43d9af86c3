#include "jsonvariant.h"
#include "xmlrpccall.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>
#include <QUrl>

#include <cstdio>

namespace {

const char Usage[] = "usage: xmlrpc-call [--insecure] URL METHOD [ARG...]\n"
                     "Each ARG is one JSON value. Prints the result as JSON, or the fault as\n"
                     "\"code: text\" on standard error (exit status 1).\n";

int usage(const QString &problem)
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "xmlrpc-call: %s\n", problem.toUtf8().constData());
    std::fputs(Usage, stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The library's debug notes are noise here; other messages of the process stay.
    QLoggingCategory::setFilterRules(QStringLiteral("vesk.xmlrpc.debug=false"));
    QStringList words = app.arguments().mid(1);
    if (words.contains(QStringLiteral("-h")) || words.contains(QStringLiteral("--help"))) {
        std::fputs(Usage, stdout);
        return 0;
    }
    const bool insecure = words.removeAll(QStringLiteral("--insecure")) > 0;
    if (words.size() < 2)
        return usage(QString());

    const QUrl url(words.at(0));
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return usage(QStringLiteral("not an http or https URL: %1").arg(words.at(0)));

    QVariantList args;
    for (int i = 2; i < words.size(); ++i) {
        QVariant value;
        QString error;
        if (!JsonVariant::parse(words.at(i), &value, &error))
            return usage(QStringLiteral("argument %1 is not JSON (%2): %3").arg(i - 1).arg(error, words.at(i)));
        args.append(value);
    }

    XmlRpcCall call(url, insecure);
    call.start(words.at(1), args);
    return app.exec();
}
