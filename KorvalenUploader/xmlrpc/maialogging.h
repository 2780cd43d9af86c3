#pragma once

#include <QLoggingCategory>

// The XML-RPC library's messages, so that a program can silence them alone.
Q_DECLARE_LOGGING_CATEGORY(lcMaia)
