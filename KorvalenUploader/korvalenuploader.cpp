#include "korvalenuploader.h"

#include "xclient.h"

#include <QWebView>

KorvalenUploader::KorvalenUploader(QWebView *view)
    : VESKPlugin(view)
    , m_client(new XClient([this](const QString &script) { evaluateInPage(script); }, this))
{
}

const char *KorvalenUploader::scriptObjectName() const
{
    return "lkorvalen";
}

void KorvalenUploader::hello()
{
    evaluateInPage(QStringLiteral("alert('Korvalen uploader works');"));
}

void KorvalenUploader::_login(const QString &client_id, const QString &client_key, const QString &password,
                              const QString &success_callback, const QString &error_callback)
{
    m_client->setCredentials(client_id, client_key, password);
    m_client->login(success_callback, error_callback);
}

void KorvalenUploader::_uploadFile(const QString &file, const QVariant &meta, const QString &success_callback,
                                   const QString &error_callback, const QString &process_callback)
{
    m_client->uploadImage(file, meta, success_callback, error_callback, process_callback);
}

void KorvalenUploader::_checkReleases(const QString &releases, const QString &success_callback,
                                      const QString &error_callback)
{
    m_client->checkReleases(releases, success_callback, error_callback);
}

void KorvalenUploader::_uploadRelease(const QString &file, const QString &type, const QString &name,
                                      const QString &description, const QString &date, const QString &success_callback,
                                      const QString &error_callback, const QString &process_callback)
{
    m_client->uploadRelease(file, type, name, description, date, success_callback, error_callback, process_callback);
}

void KorvalenUploader::_attachReleases(const QString &id_photo, const QString &releases,
                                       const QString &success_callback, const QString &error_callback)
{
    m_client->attachReleases(id_photo, releases, success_callback, error_callback);
}

void KorvalenUploader::_getEarnings(const QString &date_from, const QString &date_to,
                                    const QString &func_pointer_success, const QString &func_pointer_error)
{
    m_client->getEarnings(date_from, date_to, func_pointer_success, func_pointer_error);
}

void KorvalenUploader::abort()
{
}

void KorvalenUploader::close()
{
}
