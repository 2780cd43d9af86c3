#include "xserviceanswer.h"

XServiceAnswer::XServiceAnswer(const QVariant &answer)
    : m_answer(answer)
{
}

bool XServiceAnswer::fail(const QString &text)
{
    m_error = QStringLiteral("malformed answer: ") + text;
    return false;
}

bool XServiceAnswer::root(QVariantMap *map)
{
    if (m_answer.userType() != QMetaType::QVariantMap)
        return fail(QStringLiteral("not a struct"));
    *map = m_answer.toMap();
    return true;
}

bool XServiceAnswer::output(QVariantList *list)
{
    QVariantMap map;
    if (!root(&map))
        return false;
    const QVariant out = map.value(QStringLiteral("output"));
    if (!out.isValid())
        return fail(QStringLiteral("no \"output\""));
    if (out.userType() != QMetaType::QVariantList || out.toList().isEmpty())
        return fail(QStringLiteral("\"output\" is not a list with elements"));
    *list = out.toList();
    return true;
}

bool XServiceAnswer::firstOutput(QVariantMap *map)
{
    QVariantList list;
    if (!output(&list))
        return false;
    if (list.first().userType() != QMetaType::QVariantMap)
        return fail(QStringLiteral("the first element of \"output\" is not a struct"));
    *map = list.first().toMap();
    return true;
}

bool XServiceAnswer::status(QString *status, QString *message)
{
    QVariantMap map;
    if (!root(&map) || !text(map, QStringLiteral("status"), status))
        return false;
    *message = map.value(QStringLiteral("statusMessage")).toString();
    return true;
}

bool XServiceAnswer::text(const QVariantMap &map, const QString &key, QString *value)
{
    const QVariant v = map.value(key);
    switch (v.userType()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double: *value = v.toString(); return true;
    default: return fail(QStringLiteral("no text \"%1\"").arg(key));
    }
}

bool XServiceAnswer::number(const QVariantMap &map, const QString &key, double *value)
{
    const QVariant v = map.value(key);
    switch (v.userType()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double: *value = v.toDouble(); return true;
    case QMetaType::QString: {
        bool ok = false;
        *value = v.toString().toDouble(&ok);
        if (ok)
            return true;
        break;
    }
    default: break;
    }
    return fail(QStringLiteral("no number \"%1\"").arg(key));
}
