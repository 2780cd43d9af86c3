#include "veskplugin.h"

// Exports something, but not the factory.
VESK_PLUGIN_EXPORT int notTheFactory()
{
    return 1;
}
