#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One entry of a remote directory listing.
class QUrlInfo {
public:
    // Unix permission bits, as in st_mode.
    enum PermissionSpec {
        ReadOwner = 00400,
        WriteOwner = 00200,
        ExeOwner = 00100,
        ReadGroup = 00040,
        WriteGroup = 00020,
        ExeGroup = 00010,
        ReadOther = 00004,
        WriteOther = 00002,
        ExeOther = 00001
    };

    QUrlInfo();

    QString name() const { return m_name; }
    int permissions() const { return m_permissions; }
    QString owner() const { return m_owner; }
    QString group() const { return m_group; }
    qint64 size() const { return m_size; }
    QDateTime lastModified() const { return m_lastModified; }
    QDateTime lastRead() const { return m_lastRead; }
    bool isDir() const { return m_isDir; }
    bool isFile() const { return m_isFile; }
    bool isSymLink() const { return m_isSymLink; }
    bool isWritable() const { return m_isWritable; }
    bool isReadable() const { return m_isReadable; }
    bool isExecutable() const { return m_isExecutable; }

    void setName(const QString &name) { m_name = name; }
    void setPermissions(int permissions) { m_permissions = permissions; }
    void setOwner(const QString &owner) { m_owner = owner; }
    void setGroup(const QString &group) { m_group = group; }
    void setSize(qint64 size) { m_size = size; }
    void setLastModified(const QDateTime &dt) { m_lastModified = dt; }
    void setLastRead(const QDateTime &dt) { m_lastRead = dt; }
    void setDir(bool on) { m_isDir = on; }
    void setFile(bool on) { m_isFile = on; }
    void setSymLink(bool on) { m_isSymLink = on; }
    void setWritable(bool on) { m_isWritable = on; }
    void setReadable(bool on) { m_isReadable = on; }
    void setExecutable(bool on) { m_isExecutable = on; }

    bool operator==(const QUrlInfo &other) const;
    bool operator!=(const QUrlInfo &other) const { return !(*this == other); }

private:
    QString m_name;
    int m_permissions = 0;
    QString m_owner;
    QString m_group;
    qint64 m_size = 0;
    QDateTime m_lastModified;
    QDateTime m_lastRead;
    bool m_isDir = false;
    bool m_isFile = true;
    bool m_isSymLink = false;
    bool m_isWritable = true;
    bool m_isReadable = true;
    bool m_isExecutable = false;
};

Q_DECLARE_METATYPE(QUrlInfo)
