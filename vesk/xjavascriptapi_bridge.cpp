#include "xjavascriptapi.h"

#include "xjsliteral.h"
#include "xwebwindow.h"

#include <QWebFrame>

QVariant XJavaScriptAPI::_call(const QVariantList &vars, int leaveFirstVars)
{
    if (vars.isEmpty())
        return QVariant();
    const int nameIndex = leaveFirstVars > 0 ? leaveFirstVars : 0;
    // callWindow with only a window name, or a count past the list.
    if (nameIndex >= vars.size())
        return QVariant();

    QString text = vars.at(nameIndex).toString();
    text += QLatin1Char('(');
    for (int i = nameIndex + 1; i < vars.size(); ++i) {
        if (i > nameIndex + 1)
            text += QLatin1Char(',');
        text += XJsLiteral::fromVariant(vars.at(i));
    }
    text += QStringLiteral(");");
    return m_frame->evaluateJavaScript(text);
}

QString XJavaScriptAPI::_getWindowPointer(const QString &name)
{
    const QPointer<XWebWindow> window = m_namedWindows.value(name);
    return window ? window->objectName() : QString(QLatin1String(""));
}

void XJavaScriptAPI::js(const QString &string)
{
    m_frame->evaluateJavaScript(string);
}

void XJavaScriptAPI::publishNamedWindows()
{
    for (auto it = m_namedWindows.cbegin(); it != m_namedWindows.cend(); ++it) {
        if (it.value())
            m_frame->addToJavaScriptWindowObject(it.value()->objectName(), it.value()->api());
    }
}
