#pragma once

#include <QString>
#include <QVariant>

// The application's settings file, one per process: opened by the application
// object at start-up. While none is open, reads give the default and writes go
// nowhere (windows made without the application object). A file that cannot
// be written is reported on stderr once: at the first write, or when a later
// save fails.
class XSettingsStore {
public:
    static void open(const QString &file);
    static void close();
    static bool isOpen();
    static QVariant value(const QString &key, const QVariant &defaultValue);
    static void setValue(const QString &key, const QVariant &value);
};
