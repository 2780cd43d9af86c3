#include "qurlinfo.h"

QUrlInfo::QUrlInfo() = default;

bool QUrlInfo::operator==(const QUrlInfo &other) const
{
    return m_name == other.m_name && m_permissions == other.m_permissions && m_owner == other.m_owner
        && m_group == other.m_group && m_size == other.m_size && m_lastModified == other.m_lastModified
        && m_lastRead == other.m_lastRead && m_isDir == other.m_isDir && m_isFile == other.m_isFile
        && m_isSymLink == other.m_isSymLink && m_isWritable == other.m_isWritable && m_isReadable == other.m_isReadable
        && m_isExecutable == other.m_isExecutable;
}
