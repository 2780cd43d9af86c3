#include "maialogging.h"

Q_LOGGING_CATEGORY(lcMaia, "vesk.xmlrpc")
