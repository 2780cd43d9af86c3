#include "qftpcommand.h"

#include <QAtomicInt>

namespace {
// Ids stay unique over the process so callbacks filed by id never collide.
QAtomicInt lastId;
}

QFtpCommand::QFtpCommand(QFtp::Command type, const QStringList &lines)
    : m_id(lastId.fetchAndAddRelaxed(1) + 1)
    , m_type(type)
    , m_lines(lines)
{
}
