#include "xjavascriptapi.h"

#include <QCoreApplication>

void XJavaScriptAPI::exit(int code)
{
    // Returns to the page; the program ends once control is back in the event loop.
    QCoreApplication::exit(code);
}
