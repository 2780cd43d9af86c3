#include "maiaobject.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <cstdlib>

// Any input must give exactly one outcome signal and delete the call object.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_parseresponse";
    static char *argv[] = {name, nullptr};
    // Posted deletions are only delivered with an application object.
    static QCoreApplication *app = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        return new QCoreApplication(argc, argv);
    }();
    Q_UNUSED(app);

    int outcomes = 0;
    QPointer<MaiaObject> call = new MaiaObject;
    QObject::connect(call.data(), &MaiaObject::aresponse, [&outcomes](QVariant &value, QNetworkReply *) {
        ++outcomes;
        (void)value.toString();
    });
    QObject::connect(call.data(), &MaiaObject::fault,
                     [&outcomes](int, const QString &, QNetworkReply *) { ++outcomes; });
    call->parseResponse(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)), nullptr);
    // The call object deletes itself later; there is no event loop here to do it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (outcomes != 1 || call)
        std::abort();
    return 0;
}
