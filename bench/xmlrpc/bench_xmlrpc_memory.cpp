// Peak memory of one large XML-RPC call through MaiaXmlRpcClient: from the
// request to the response slot holding the parsed value, with the response
// served over loopback HTTP by a separate Python process.

#include "maiaxmlrpcclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

// Kilobytes on Linux.
long peakRssKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class Receiver : public QObject {
    Q_OBJECT

public:
    int records = -1;
    QString fault;

public slots:
    void response(QVariant &value, QNetworkReply *)
    {
        const QVariantList list = value.toList();
        records = list.size();
        // Spot-check the last record so a wrong parse cannot pass as a fast one.
        if (!list.isEmpty() && list.last().toMap().value(QStringLiteral("id")).toInt() != records - 1)
            fault = QStringLiteral("last record has the wrong id");
        QCoreApplication::quit();
    }
    void failed(int code, const QString &text, QNetworkReply *)
    {
        fault = QStringLiteral("%1 %2").arg(code).arg(text);
        QCoreApplication::quit();
    }
};

bool runCall(MaiaXmlRpcClient &client, Receiver &receiver)
{
    client.call(QStringLiteral("listPhotos"), {}, &receiver, SLOT(response(QVariant &, QNetworkReply *)), &receiver,
                SLOT(failed(int, const QString &, QNetworkReply *)));
    QTimer::singleShot(300000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    if (!receiver.fault.isEmpty()) {
        std::fprintf(stderr, "call failed: %s\n", qPrintable(receiver.fault));
        return false;
    }
    return receiver.records >= 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const double sizeMiB = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 50.0;
    if (sizeMiB <= 0) {
        std::fprintf(stderr, "usage: %s [SIZE_MIB]\n", argv[0]);
        return 2;
    }

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(BENCH_SERVE_SCRIPT), QString::number(sizeMiB)});
    while (!server.canReadLine() && server.waitForReadyRead(120000)) { }
    if (!server.canReadLine()) {
        std::fprintf(stderr, "python3 server did not start\n");
        return 1;
    }
    const QList<QByteArray> fields = server.readLine().trimmed().split(' ');
    const QString port = QString::fromLatin1(fields.value(0));
    const qint64 bytes = fields.value(1).toLongLong();
    const int records = fields.value(2).toInt();

    MaiaXmlRpcClient client;
    client.setMaximumResponseSize(bytes + 1);

    // A small call first, so the network stack's own start-up is in the baseline.
    Receiver warmUp;
    client.setUrl(QUrl(QStringLiteral("http://127.0.0.1:%1/small").arg(port)));
    if (!runCall(client, warmUp))
        return 1;
    const long baseline = peakRssKiB();

    Receiver receiver;
    client.setUrl(QUrl(QStringLiteral("http://127.0.0.1:%1/big").arg(port)));
    QElapsedTimer timer;
    timer.start();
    if (!runCall(client, receiver))
        return 1;
    const qint64 elapsed = timer.elapsed();
    const long peak = peakRssKiB();
    server.waitForFinished(10000);

    if (receiver.records != records) {
        std::fprintf(stderr, "parsed %d records, the server sent %d\n", receiver.records, records);
        return 1;
    }
    const double responseMiB = bytes / 1048576.0;
    const double grownMiB = (peak - baseline) / 1024.0;
    std::printf("response %.1f MiB, %d structs, %lld ms\n", responseMiB, records, static_cast<long long>(elapsed));
    std::printf("peak RSS above baseline %.1f MiB = %.2fx the response (target: below 4x)\n", grownMiB,
                grownMiB / responseMiB);
    return 0;
}

#include "bench_xmlrpc_memory.moc"
