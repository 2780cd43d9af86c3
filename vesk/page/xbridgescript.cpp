#include "page/xbridgescript.h"

#include "core/xdatabases.h"
#include "xjsliteral.h"

QString XBridgeScript::parentObjectName()
{
    return QStringLiteral("winobj_parentdf6a416gd5ad5fgh46");
}

QStringList XBridgeScript::loadingIndicator()
{
    return {
        QStringLiteral("app.showLoading = function(opts){app.loadingWin=window.open('qrc:///loading.html');};"),
        QStringLiteral("app.hideLoading = function(){alert(app);};"),
    };
}

QStringList XBridgeScript::callFunctions(const QString &n, bool hasParent)
{
    const QString parent = parentObjectName();
    QStringList texts = {
        n + QStringLiteral(".call = function(){") + n
            + QStringLiteral("._call(Array.prototype.slice.call(arguments));};"),
        n + QStringLiteral(".callParentWindow = function(){return window['") + parent
            + QStringLiteral("']._call(Array.prototype.slice.call(arguments),0);};"),
        n + QStringLiteral(".callWindow = function(name){var window_ptr = ") + n
            + QStringLiteral(
                "._getWindowPointer(name);return window[window_ptr]._call(Array.prototype.slice.call(arguments),1);};"),
        n + QStringLiteral(".getWindow = function(name){var window_ptr = ") + n
            + QStringLiteral("._getWindowPointer(name);return window[window_ptr]};"),
        n + QStringLiteral(".getParentWindow = function(){return window['") + parent + QStringLiteral("']};"),
    };
    if (hasParent)
        texts << QStringLiteral("app = ") + n + QLatin1Char(';');
    return texts;
}

QString XBridgeScript::hotObjectName()
{
    return QStringLiteral("winobj_hot7c1e0a4b93d2f58e61");
}

QStringList XBridgeScript::hotFunctions(const QString &n)
{
    const QString hot = XJsLiteral::fromString(hotObjectName());
    // dbQuery compiles a row maker once per set of column names (a few dozen
    // kept).
    return {
        QStringLiteral("(function(a,h){if(!a||!h)return;"
                       "a._call=function(v,l){var n=arguments.length;"
                       "return n===1?h._call1(v):n===2?h._call2(v,l):h._call.apply(h,arguments);};"
                       "a.dbConnect=h.dbConnect;a.dbClose=h.dbClose;a.dbInsertMany=h.dbInsertMany;"
                       "a.dbLastError=h.dbLastError;"
                       "a.dbInsert=function(q,i,p){var n=arguments.length;return n===3?h.dbInsert3(q,i,p):"
                       "n===1?h.dbInsert1(q):n===2?h.dbInsert2(q,i):h.dbInsert.apply(h,arguments);};"
                       "var m=Object.create(null),mc=0;"
                       "a.dbQuery=function(q,i,p){var n=arguments.length,t=n===1?h.dbQuery1(q):n===2?h.dbQuery2(q,i):"
                       "n===3?h.dbQuery3(q,i,p):h.dbQuery.apply(h,arguments);if(t.length!==4||t[1]===0)return [];"
                       "var f=m[t[0]];if(!f){if(++mc>64){m=Object.create(null);mc=1;}"
                       "f=m[t[0]]=new Function('k','b','x',t[0]);}return f(t[1],t[2],t[3]);};"
                       "})(window[%1],window[%2]);delete window[%2];if(%2 in window)window[%2]=undefined;")
            .arg(XJsLiteral::fromString(n), hot),
    };
}

QString XBridgeScript::rowMaker(const QStringList &names)
{
    // Keys are set one by one, as the engine sets a map's, so names such as
    // "__proto__" or "0" behave as they did.
    QString body = QStringLiteral("var c=k*%1,f=new Float64Array(b.buffer,b.byteOffset,c),"
                                  "g=new Uint8Array(b.buffer,b.byteOffset+c*8,c),r=[],q=0,s=0,o,i;"
                                  "function v(){var e=g[q];return e===%2?f[q++]:e===%3?x.substring(s,s+=f[q++]):(++q,null);}"
                                  "for(i=0;i<k;++i){o={};")
                       .arg(names.size())
                       .arg(int(XDatabases::NumberCell))
                       .arg(int(XDatabases::TextCell));
    for (const QString &name : names)
        body += QStringLiteral("o[%1]=v();").arg(XJsLiteral::fromString(name));
    body += QStringLiteral("r[i]=o;}return r;");
    return body;
}
