// Marshalling and parsing speed of the XML-RPC layer against Python's
// xmlrpc.client on the same data, in the same run.

#include "maiaobject.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <limits>

namespace {

const int Repeat = 7;

struct Case {
    QString name;
    QString method;
    QVariantList args;
    QVariant result;
};

double bestOf(const std::function<void()> &work)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < Repeat; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = qMin(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

Case photoPart()
{
    // One part of a photo upload: a struct holding a 6 MiB Base64 text.
    QByteArray photo(6 * 1024 * 1024 / 4 * 3, Qt::Uninitialized);
    quint32 seed = 12345;
    for (char &c : photo) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    QVariantMap part;
    part.insert("data", QString::fromLatin1(photo.toBase64()));
    part.insert("ext", "jpg");
    part.insert("part", 0);
    part.insert("last", 0);
    part.insert("uniq", "5f2c0d1e9a");
    const QString session = QString(48, 'a') + QString(32, 'f');
    return {QStringLiteral("struct-6MiB-base64-text"), QStringLiteral("addPhoto"), {session, part}, part};
}

Case mixedArray()
{
    QVariantList list;
    list.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        switch (i % 4) {
        case 0: list.append(i); break;
        case 1: list.append(i * 0.25); break;
        case 2: list.append(QStringLiteral("keyword %1").arg(i)); break;
        default: list.append(i % 3 == 0); break;
        }
    }
    return {QStringLiteral("array-100000-mixed"), QStringLiteral("addKeywords"), {list}, list};
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    const QList<Case> cases {photoPart(), mixedArray()};
    QStringList pythonArgs {QString::number(Repeat)};
    QList<QPair<double, double>> ours;

    for (const Case &c : cases) {
        QByteArray request;
        const double marshal = bestOf([&] { request = MaiaObject::prepareCall(c.method, c.args).toUtf8(); });
        const QByteArray response = MaiaObject::prepareResponse(c.result).toUtf8();

        bool same = false;
        const double parse = bestOf([&] {
            auto call = new MaiaObject;
            QObject::connect(call, &MaiaObject::aresponse,
                             [&](QVariant &value, QNetworkReply *) { same = value == c.result; });
            call->parseResponse(QString::fromUtf8(response), nullptr);
        });
        if (!same) {
            std::fprintf(stderr, "%s: the parsed value differs from the original\n", qPrintable(c.name));
            return 1;
        }
        ours.append({marshal, parse});

        const QString callPath = dir.filePath(c.name + "-call.xml");
        const QString responsePath = dir.filePath(c.name + "-response.xml");
        if (!writeFile(callPath, request) || !writeFile(responsePath, response))
            return 1;
        pythonArgs << c.name << callPath << responsePath;
        std::printf("%s: request %.1f MiB, response %.1f MiB\n", qPrintable(c.name), request.size() / 1048576.0,
                    response.size() / 1048576.0);
    }

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList {QStringLiteral(BENCH_PYTHON_SCRIPT)} + pythonArgs);
    if (!python.waitForFinished(600000) || python.exitCode() != 0) {
        std::fprintf(stderr, "python3 failed: %s\n", python.readAllStandardError().constData());
        return 1;
    }
    const QList<QByteArray> lines = python.readAllStandardOutput().trimmed().split('\n');

    std::printf("\nbest of %d runs, milliseconds\n", Repeat);
    std::printf("%-26s %-8s %10s %10s %8s\n", "case", "step", "maia", "python", "ratio");
    for (int i = 0; i < cases.size(); ++i) {
        const QList<QByteArray> fields = lines.value(i).split(' ');
        const double pyMarshal = fields.value(1).toDouble();
        const double pyParse = fields.value(2).toDouble();
        std::printf("%-26s %-8s %10.2f %10.2f %7.2fx\n", qPrintable(cases.at(i).name), "marshal", ours.at(i).first,
                    pyMarshal, pyMarshal / ours.at(i).first);
        std::printf("%-26s %-8s %10.2f %10.2f %7.2fx\n", qPrintable(cases.at(i).name), "parse", ours.at(i).second,
                    pyParse, pyParse / ours.at(i).second);
    }
    std::printf("(ratio = python time / maia time; above 1 means maia is faster)\n");
    return 0;
}
