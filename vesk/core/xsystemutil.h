#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// The pure parts of the page's system utilities: progress mapping, local time
// conversions and the choice of hardware address.
class XSystemUtil {
public:
    // The taskbar progress-state value for a page's progress type.
    static int taskbarState(int type);
    // value × 100, truncated toward zero, kept within 0..100.
    static int taskbarPercent(double value);

    // Seconds since 1970-01-01 00:00 UTC of a local date and time; -1 for an
    // invalid date or time, or a moment before the epoch. 64-bit, so dates after
    // 2038 come out right.
    static qint64 localToEpoch(int hours, int minutes, int seconds, int month, int day, int year);
    // The local date and time of secs after the epoch in the date-time library's
    // format; a negative secs means now.
    static QString formatLocal(const QString &format, qint64 secs);

    // The first address of the list that is not a loopback interface's and not
    // empty or all zeros (tunnels and some virtual devices carry those).
    struct Interface {
        bool loopback;
        QString hardwareAddress;
    };
    static QString firstHardwareAddress(const QList<Interface> &interfaces);

    // What followed "--" on the program's command line, as the pages get it.
    static void setPassedArguments(const QStringList &arguments);
    static QStringList passedArguments();
    // The variable's value; invalid when it is not set or the name cannot name
    // one (empty, or holding "=" or U+0000).
    static QVariant environmentValue(const QString &name);
};
