#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QPointer>
#include <QStringList>

#include "qftp.h"

// One queued operation of QFtp with the lines it sends.
class QFtpCommand
{
public:
    QFtpCommand(QFtp::Command type, const QStringList &lines);

    const int id;
    const QFtp::Command type;
    const QStringList lines;
    QPointer<QIODevice> device;
    QByteArray data;
    bool hasData = false;
    bool openedDevice = false;
    QFtp::TransferType transferType = QFtp::Binary;
    QString host;
    quint16 port = 0;
};
