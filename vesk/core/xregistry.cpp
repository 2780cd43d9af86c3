#include "core/xregistry.h"

#include "platform/xplatform.h"

#include <QSettings>

XRegistry::XRegistry(const QString &path)
    : m_settings(XPlatform::openRegistry(normalise(path)))
{
}

XRegistry::~XRegistry() = default;

QString XRegistry::normalise(const QString &path)
{
    int begin = 0;
    int end = path.size();
    while (begin < end && path.at(begin) == QLatin1Char('/'))
        ++begin;
    while (end > begin && path.at(end - 1) == QLatin1Char('/'))
        --end;
    QString result = path.mid(begin, end - begin);
    result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return result;
}

void XRegistry::set(const QString &key, const QVariant &value)
{
    if (m_settings && !key.isEmpty())
        m_settings->setValue(key, value);
}

bool XRegistry::contains(const QString &key) const
{
    return m_settings && !key.isEmpty() && m_settings->contains(key);
}

QVariant XRegistry::get(const QString &key, const QVariant &defaultValue) const
{
    if (!m_settings || key.isEmpty())
        return defaultValue;
    return m_settings->value(key, defaultValue);
}

void XRegistry::remove(const QString &key)
{
    // An empty key would empty the whole group.
    if (m_settings && !key.isEmpty())
        m_settings->remove(key);
}

QStringList XRegistry::allKeys() const
{
    return m_settings ? m_settings->allKeys() : QStringList();
}

QStringList XRegistry::keys() const
{
    return m_settings ? m_settings->childKeys() : QStringList();
}

QStringList XRegistry::groups() const
{
    return m_settings ? m_settings->childGroups() : QStringList();
}
