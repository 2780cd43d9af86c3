#include "core/xapplink.h"

XAppLink XAppLink::parse(const QUrl &url)
{
    XAppLink link;
    const QString text = url.toString();
    static const QString scheme = QStringLiteral("app://");
    if (!text.startsWith(scheme))
        return link;

    const QString rest = text.mid(scheme.size());
    const QString path = rest.split(QLatin1Char('?'), Qt::KeepEmptyParts).first();
    QStringList segments = path.split(QLatin1Char('/'), Qt::KeepEmptyParts);
    const QString verb = segments.takeFirst();
    if (verb == QLatin1String("alert"))
        link.m_verb = Alert;
    else if (verb == QLatin1String("call"))
        link.m_verb = Call;
    else
        link.m_verb = Unknown;
    link.m_arguments = segments;
    return link;
}
