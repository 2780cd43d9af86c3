#include "page/xbridgescript.h"

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
    // dbQuery: the hot object's flat table made into rows, keys in the order
    // the API object's maps give them. call keeps its missing return.
    return {
        QStringLiteral("(function(a,h){if(!a||!h)return;"
                       "a.call=function(){h._call(Array.prototype.slice.call(arguments));};"
                       "a._call=h._call;a.dbConnect=h.dbConnect;a.dbClose=h.dbClose;a.dbInsert=h.dbInsert;"
                       "a.dbInsertMany=h.dbInsertMany;a.dbLastError=h.dbLastError;"
                       "a.dbQuery=function(){var t=h.dbQuery.apply(h,arguments),r=[];if(t.length<2)return r;"
                       "var n=t[0],c=n.length,k=t[1],p=2;for(var i=0;i<k;++i){var o={};"
                       "for(var j=0;j<c;++j)o[n[j]]=t[p++];r[i]=o;}return r;};"
                       "})(window[%1],window[%2]);delete window[%2];if(%2 in window)window[%2]=undefined;")
            .arg(XJsLiteral::fromString(n), hot),
    };
}
