#include "api/xjavascriptapi.h"

#include "page/xpagebinding.h"
#include "window/xwebwindow.h"
#include "xjsliteral.h"

namespace {

// The engine hands a script's null inside an array or object to native code as
// a null QString; turn it back into null so it returns as it was written.
QVariant fromScript(const QVariant &value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::QString: return value.toString().isNull() ? QVariant() : value;
    case QMetaType::QVariantList: {
        QVariantList list = value.toList();
        for (QVariant &v : list)
            v = fromScript(v);
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = fromScript(it.value());
        return map;
    }
    default: return value;
    }
}

} // namespace

QVariant XJavaScriptAPI::_call(const QVariantList &vars, int leaveFirstVars)
{
    if (vars.isEmpty())
        return QVariant();
    const int nameIndex = leaveFirstVars > 0 ? leaveFirstVars : 0;
    // callWindow with only a window name, or a count past the list.
    if (nameIndex >= vars.size())
        return QVariant();

    QVariantList arguments;
    for (int i = nameIndex + 1; i < vars.size(); ++i)
        arguments << fromScript(vars.at(i));
    const QString text = XJsLiteral::call(vars.at(nameIndex).toString(), arguments);
    // Only into a document this window's binding trusts: a window that went
    // remote neither sees the arguments nor forges an answer.
    QVariant answer;
    if (!m_binding->evaluateTrusted(text, &answer))
        return QVariant();
    // A null in the answer comes back as null, not as an empty string.
    return fromScript(answer);
}

QString XJavaScriptAPI::_getWindowPointer(const QString &name)
{
    const QPointer<XWebWindow> window = m_namedWindows.value(name);
    return window ? window->objectName() : QString(QLatin1String(""));
}

void XJavaScriptAPI::js(const QString &string)
{
    m_binding->evaluateTrusted(string);
}
