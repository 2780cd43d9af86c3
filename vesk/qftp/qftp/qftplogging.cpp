#include "qftplogging.h"

Q_LOGGING_CATEGORY(lcFtp, "vesk.ftp")
