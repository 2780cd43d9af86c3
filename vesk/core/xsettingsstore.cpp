#include "core/xsettingsstore.h"

#include <QSettings>

#include <memory>

namespace {
std::unique_ptr<QSettings> &store()
{
    static std::unique_ptr<QSettings> settings;
    return settings;
}
} // namespace

void XSettingsStore::open(const QString &file)
{
    store() = std::make_unique<QSettings>(file, QSettings::IniFormat);
}

void XSettingsStore::close()
{
    store().reset();
}

bool XSettingsStore::isOpen()
{
    return store() != nullptr;
}

QVariant XSettingsStore::value(const QString &key, const QVariant &defaultValue)
{
    return store() ? store()->value(key, defaultValue) : defaultValue;
}

void XSettingsStore::setValue(const QString &key, const QVariant &value)
{
    if (store())
        store()->setValue(key, value);
}
