#include "core/xsystemutil.h"

#include <QDateTime>

#include <cmath>

int XSystemUtil::taskbarState(int type)
{
    switch (type) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 4;
    default: return 8;
    }
}

int XSystemUtil::taskbarPercent(double value)
{
    const double percent = std::trunc(value * 100.0);
    if (!(percent > 0))
        return 0;
    if (percent > 100)
        return 100;
    return int(percent);
}

qint64 XSystemUtil::localToEpoch(int hours, int minutes, int seconds, int month, int day, int year)
{
    const QDate date(year, month, day);
    const QTime time(hours, minutes, seconds);
    if (!date.isValid() || !time.isValid())
        return -1;
    const QDateTime moment(date, time, Qt::LocalTime);
    if (!moment.isValid())
        return -1;
    const qint64 secs = moment.toSecsSinceEpoch();
    return secs < 0 ? -1 : secs;
}

QString XSystemUtil::formatLocal(const QString &format, qint64 secs)
{
    const QDateTime moment = secs < 0 ? QDateTime::currentDateTime() : QDateTime::fromSecsSinceEpoch(secs);
    return moment.toString(format);
}

QString XSystemUtil::firstHardwareAddress(const QList<Interface> &interfaces)
{
    for (const Interface &i : interfaces) {
        if (i.loopback)
            continue;
        QString digits = i.hardwareAddress;
        digits.remove(QLatin1Char(':'));
        if (digits.isEmpty() || digits.count(QLatin1Char('0')) == digits.size())
            continue;
        return i.hardwareAddress;
    }
    return QString();
}

static QStringList &passed()
{
    static QStringList arguments;
    return arguments;
}

void XSystemUtil::setPassedArguments(const QStringList &arguments)
{
    passed() = arguments;
}

QStringList XSystemUtil::passedArguments()
{
    return passed();
}

QVariant XSystemUtil::environmentValue(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('=')) || name.contains(QChar(0)))
        return QVariant();
    const QByteArray key = name.toLocal8Bit();
    if (!qEnvironmentVariableIsSet(key.constData()))
        return QVariant();
    return qEnvironmentVariable(key.constData());
}
