#include "core/xsettingsstore.h"

#include <QFileInfo>
#include <QSettings>

#include <cstdio>
#include <memory>

namespace {
struct Store {
    std::unique_ptr<QSettings> settings;
    bool written = false;
    bool checked = false;
    bool reported = false;
};

Store &store()
{
    static Store s;
    return s;
}

bool isWritableLocation(const QString &file)
{
    const QFileInfo info(file);
    if (info.exists() || info.isSymLink())
        return info.isFile() && info.isWritable();
    const QFileInfo folder(info.absolutePath());
    return folder.isDir() && folder.isWritable();
}

// Pages learn nothing of a failed write (setSettings has no result), so the
// person running the program is told, once per store.
void reportIfUnwritable()
{
    Store &s = store();
    if (!s.settings || !s.written || s.reported)
        return;
    bool failed = s.settings->status() == QSettings::AccessError;
    if (!s.checked) {
        s.checked = true;
        failed = failed || !isWritableLocation(s.settings->fileName());
    }
    if (!failed)
        return;
    s.reported = true;
    const QByteArray line = "vesk: settings cannot be saved: "
        + QFileInfo(s.settings->fileName()).absoluteFilePath().toLocal8Bit() + " is not writable\n";
    fputs(line.constData(), stderr);
    fflush(stderr);
}
} // namespace

void XSettingsStore::open(const QString &file)
{
    Store &s = store();
    s.settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    s.written = false;
    s.checked = false;
    s.reported = false;
}

void XSettingsStore::close()
{
    Store &s = store();
    if (s.settings) {
        s.settings->sync();
        reportIfUnwritable();
    }
    s.settings.reset();
}

bool XSettingsStore::isOpen()
{
    return store().settings != nullptr;
}

QVariant XSettingsStore::value(const QString &key, const QVariant &defaultValue)
{
    return store().settings ? store().settings->value(key, defaultValue) : defaultValue;
}

void XSettingsStore::setValue(const QString &key, const QVariant &value)
{
    if (!store().settings)
        return;
    store().settings->setValue(key, value);
    store().written = true;
    reportIfUnwritable();
}
