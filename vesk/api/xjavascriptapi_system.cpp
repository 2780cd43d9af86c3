#include "api/xjavascriptapi.h"

#include "core/xbyteform.h"
#include "core/xsystemutil.h"
#include "page/xpagebinding.h"
#include "platform/xplatform.h"
#include "window/xwebwindow.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QNetworkInterface>
#include <QScreen>
#include <QUrl>

namespace {

QByteArray digestOf(const QString &text, QCryptographicHash::Algorithm algorithm)
{
    return QCryptographicHash::hash(text.toLatin1(), algorithm);
}

} // namespace

QString XJavaScriptAPI::getClipboard()
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

void XJavaScriptAPI::setClipboard(const QString &value)
{
    QGuiApplication::clipboard()->setText(value, QClipboard::Clipboard);
}

int XJavaScriptAPI::getOEMCP()
{
    return 0;
}

int XJavaScriptAPI::getScreenWidth()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

int XJavaScriptAPI::getScreenHeight()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

QString XJavaScriptAPI::getSystemLocale()
{
    return QLocale::system().bcp47Name();
}

void XJavaScriptAPI::enableTaskbarProgress()
{
    if (XWebWindow *w = window())
        w->enableTaskbarProgress();
}

void XJavaScriptAPI::setTaskbarProgressType(int type)
{
    if (XWebWindow *w = window())
        w->setTaskbarProgressState(XSystemUtil::taskbarState(type));
}

void XJavaScriptAPI::setTaskbarProgressValue(float value)
{
    if (XWebWindow *w = window())
        w->setTaskbarProgressValue(XSystemUtil::taskbarPercent(value), 100);
}

QString XJavaScriptAPI::md5(const QString &text)
{
    return XByteForm::digestText(digestOf(text, QCryptographicHash::Md5));
}

QString XJavaScriptAPI::md5hex(const QString &text)
{
    return QString::fromLatin1(digestOf(text, QCryptographicHash::Md5).toHex());
}

QString XJavaScriptAPI::fileMd5hex(const QString &filename)
{
    QFile file;
    if (!XPlatform::openRegular(&file, filename, QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

QString XJavaScriptAPI::sha1(const QString &text)
{
    return XByteForm::digestText(digestOf(text, QCryptographicHash::Sha1));
}

QString XJavaScriptAPI::sha1hex(const QString &text)
{
    return QString::fromLatin1(digestOf(text, QCryptographicHash::Sha1).toHex());
}

qint64 XJavaScriptAPI::freespace(const QString &disk)
{
    return XPlatform::space(disk, XPlatform::FreeSpace);
}

qint64 XJavaScriptAPI::totalspace(const QString &disk)
{
    return XPlatform::space(disk, XPlatform::TotalSpace);
}

qint64 XJavaScriptAPI::time()
{
    return QDateTime::currentSecsSinceEpoch();
}

qint64 XJavaScriptAPI::mktime(int hours, int minutes, int seconds, int month, int day, int year)
{
    return XSystemUtil::localToEpoch(hours, minutes, seconds, month, day, year);
}

QString XJavaScriptAPI::date(const QString &format, qint64 time)
{
    return XSystemUtil::formatLocal(format, time);
}

void XJavaScriptAPI::openBrowser(const QString &url)
{
    openUrl(url);
}

bool XJavaScriptAPI::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

QString XJavaScriptAPI::getMacAddress()
{
    QList<XSystemUtil::Interface> list;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces)
        list.append({i.flags().testFlag(QNetworkInterface::IsLoopBack), i.hardwareAddress()});
    return XSystemUtil::firstHardwareAddress(list);
}

QStringList XJavaScriptAPI::getArguments()
{
    return XSystemUtil::passedArguments();
}

QVariant XJavaScriptAPI::getEnv(const QString &name)
{
    return XSystemUtil::environmentValue(name);
}

namespace {
XJavaScriptAPI::ReadyHandler &readyHandler()
{
    static XJavaScriptAPI::ReadyHandler handler;
    return handler;
}
} // namespace

void XJavaScriptAPI::setReadyHandler(const ReadyHandler &handler)
{
    readyHandler() = handler;
}

void XJavaScriptAPI::screenshotReady()
{
    // Only a window's own page speaks for its picture, not a popup.
    if (readyHandler() && m_binding->role() == XPageBinding::WindowPage)
        readyHandler()(window());
}
