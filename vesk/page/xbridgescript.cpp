#include "page/xbridgescript.h"

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
