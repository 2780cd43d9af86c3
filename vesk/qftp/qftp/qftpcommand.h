#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QPointer>
#include <QStringList>

#include "qftp.h"

// One queued operation of QFtp with the lines it sends.
class QFtpCommand {
public:
    QFtpCommand(QFtp::Command type, const QStringList &lines);

    const int m_id;
    const QFtp::Command m_type;
    const QStringList m_lines;
    QPointer<QIODevice> m_device;
    QByteArray m_data;
    bool m_hasData = false;
    bool m_openedDevice = false;
    QFtp::TransferType m_transferType = QFtp::Binary;
    QString m_host;
    quint16 m_port = 0;
};
