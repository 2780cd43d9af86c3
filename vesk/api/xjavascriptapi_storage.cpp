#include "api/xjavascriptapi.h"

#include "core/xregistry.h"
#include "core/xsettingsstore.h"

#include <QFileInfo>

#include <cstdio>

void XJavaScriptAPI::regSet(const QString &path, const QString &key, const QVariant &value)
{
    XRegistry(path).set(key, value);
}

bool XJavaScriptAPI::regIsSet(const QString &path, const QString &key)
{
    return XRegistry(path).contains(key);
}

QVariant XJavaScriptAPI::regGet(const QString &path, const QString &key, const QVariant &defaultValue)
{
    return XRegistry(path).get(key, defaultValue);
}

void XJavaScriptAPI::regDelete(const QString &path, const QString &key)
{
    XRegistry(path).remove(key);
}

QStringList XJavaScriptAPI::regAllKeys(const QString &path)
{
    return XRegistry(path).allKeys();
}

QStringList XJavaScriptAPI::regKeys(const QString &path)
{
    return XRegistry(path).keys();
}

QStringList XJavaScriptAPI::regGroups(const QString &path)
{
    return XRegistry(path).groups();
}

QVariant XJavaScriptAPI::getSettings(const QString &key, const QVariant &defaultValue)
{
    // A window made without the application object has no settings file.
    // An absent key without a default is an invalid value, which the engine
    // hands to the page as null.
    return XSettingsStore::value(key, defaultValue);
}

void XJavaScriptAPI::setSettings(const QString &key, const QVariant &value)
{
    XSettingsStore::setValue(key, value);
}

// The page gets no result from dbConnect, so whoever runs the program is told;
// the texts come from the page and must not drive the terminal.
static QByteArray terminalText(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || (c.unicode() >= 0x80 && c.unicode() < 0xa0))
            c = QChar(0xfffd);
    }
    return line.toLocal8Bit();
}

void XJavaScriptAPI::dbConnect(const QString &filename, const QString &id)
{
    QString error;
    if (!m_databases.connect(filename, id, &error)) {
        const QByteArray line = "vesk: dbConnect: cannot open " + terminalText(QFileInfo(filename).absoluteFilePath())
            + ": " + terminalText(error) + "\n";
        fputs(line.constData(), stderr);
        fflush(stderr);
    }
}

void XJavaScriptAPI::dbClose(const QString &id)
{
    m_databases.close(id);
}

QVariantList XJavaScriptAPI::dbQuery(const QString &query, const QString &id, const QVariant &params)
{
    return m_databases.query(query, id, params);
}

bool XJavaScriptAPI::dbTable(const QString &query, const QString &id, const QVariant &params,
                             XDatabases::Table *table)
{
    return m_databases.queryTable(query, id, params, table);
}

QVariant XJavaScriptAPI::dbInsert(const QString &query, const QString &id, const QVariant &params)
{
    return m_databases.insert(query, id, params);
}

QString XJavaScriptAPI::dbLastError(const QString &id)
{
    return m_databases.lastError(id);
}

QVariant XJavaScriptAPI::dbInsertMany(const QString &id, const QString &query, const QVariant &rows)
{
    // An invalid result reaches the page as null, as dbInsert's does.
    return m_databases.insertMany(query, id, rows);
}
