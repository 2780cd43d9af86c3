#pragma once

#include "veskplugin.h"

#include <QString>
#include <QVariant>

class XClient;

// The page's "lkorvalen": hands each operation to the service client, which
// reports back through the callbacks named in the call.
class KorvalenUploader : public VESKPlugin {
    Q_OBJECT

public:
    explicit KorvalenUploader(QWebView *view);

    const char *scriptObjectName() const override;
    XClient *client() const { return m_client; }

public Q_SLOTS:
    void hello();
    void _login(const QString &client_id, const QString &client_key, const QString &password,
                const QString &success_callback, const QString &error_callback);
    void _uploadFile(const QString &file, const QVariant &meta, const QString &success_callback,
                     const QString &error_callback, const QString &process_callback);
    void _checkReleases(const QString &releases, const QString &success_callback, const QString &error_callback);
    void _uploadRelease(const QString &file, const QString &type, const QString &name, const QString &description,
                        const QString &date, const QString &success_callback, const QString &error_callback,
                        const QString &process_callback);
    void _attachReleases(const QString &id_photo, const QString &releases, const QString &success_callback,
                         const QString &error_callback);
    void _getEarnings(const QString &date_from, const QString &date_to, const QString &func_pointer_success,
                      const QString &func_pointer_error);
    // Calls in flight run to their end.
    void abort();
    void close();

private:
    XClient *m_client;
};
