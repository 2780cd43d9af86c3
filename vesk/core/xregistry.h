#pragma once

#include <QStringList>
#include <QVariant>

#include <memory>

class QSettings;

// The system settings store addressed by a full path such as
// "HKEY_CURRENT_USER/Software/Company/Product". Opened for one operation and
// closed again, which commits writes. A path that names no store (see
// XPlatform::openRegistry) reads as empty and ignores writes.
class XRegistry {
public:
    explicit XRegistry(const QString &path);
    ~XRegistry();

    // Outer "/" removed, inner "/" turned into "\".
    static QString normalise(const QString &path);

    bool isValid() const { return m_settings != nullptr; }
    void set(const QString &key, const QVariant &value);
    bool contains(const QString &key) const;
    QVariant get(const QString &key, const QVariant &defaultValue) const;
    // Removes the key, or the group with everything below it.
    void remove(const QString &key);
    QStringList allKeys() const;
    QStringList keys() const;
    QStringList groups() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
