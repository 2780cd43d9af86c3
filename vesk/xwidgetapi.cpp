#include "xwidgetapi.h"

#include "xwebview.h"

XWidgetAPI::XWidgetAPI(XWebView *view, QObject *parent)
    : QObject(parent)
    , m_view(view)
{
}
