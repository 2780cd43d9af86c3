#include "maiaobject.h"

#include <QNetworkReply>

#include <QPointer>
#include <QString>

#include <cstdint>
#include <cstdlib>

// Any input must give exactly one outcome signal and delete the call object.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        return true;
    }();
    Q_UNUSED(quiet);

    int outcomes = 0;
    QPointer<MaiaObject> call = new MaiaObject;
    QObject::connect(call.data(), &MaiaObject::aresponse, [&outcomes](QVariant &value, QNetworkReply *) {
        ++outcomes;
        (void)value.toString();
    });
    QObject::connect(call.data(), &MaiaObject::fault,
                     [&outcomes](int, const QString &, QNetworkReply *) { ++outcomes; });
    call->parseResponse(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)), nullptr);
    if (outcomes != 1 || call)
        std::abort();
    return 0;
}
