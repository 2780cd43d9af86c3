#pragma once

#include <QLoggingCategory>

// The FTP engine's messages, so that a program can silence them alone.
Q_DECLARE_LOGGING_CATEGORY(lcFtp)
