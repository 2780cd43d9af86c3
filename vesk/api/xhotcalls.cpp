#include "api/xhotcalls.h"

#include "api/xjavascriptapi.h"
#include "page/xbridgescript.h"

XHotCalls::XHotCalls(XJavaScriptAPI *api, QObject *parent)
    : QObject(parent)
    , m_api(api)
{
}

QVariant XHotCalls::_call(const QVariantList &vars, int leaveFirstVars)
{
    return m_api->_call(vars, leaveFirstVars);
}

void XHotCalls::dbConnect(const QString &filename, const QString &id)
{
    m_api->dbConnect(filename, id);
}

void XHotCalls::dbClose(const QString &id)
{
    m_api->dbClose(id);
}

QVariant XHotCalls::dbInsert(const QString &query, const QString &id, const QVariant &params)
{
    return m_api->dbInsert(query, id, params);
}

QVariant XHotCalls::dbInsertMany(const QString &id, const QString &query, const QVariant &rows)
{
    return m_api->dbInsertMany(id, query, rows);
}

QString XHotCalls::dbLastError(const QString &id)
{
    return m_api->dbLastError(id);
}

QVariantList XHotCalls::dbQuery(const QString &query, const QString &id, const QVariant &params)
{
    XDatabases::Table table;
    if (!m_api->dbTable(query, id, params, &table))
        return QVariantList();
    return {XBridgeScript::rowMaker(table.names), table.rows, table.cells, table.text};
}
