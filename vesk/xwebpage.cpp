#include "xwebpage.h"

#include "xtrustpolicy.h"

#include <QWebFrame>
#include <QWebSecurityOrigin>

#include <cstdio>

XWebPage::XWebPage(QObject *parent)
    : QWebPage(parent)
{
}

QString XWebPage::userAgent()
{
    return QStringLiteral("Mozilla/5.0 (Windows NT 6.3; rv:36.0) Gecko/20100101 Firefox/36.0");
}

void XWebPage::setPresetFile(const QString &file)
{
    m_presetFile = file;
}

QString XWebPage::presetFileFor(QWebFrame *frame) const
{
    if (m_presetFile.isEmpty())
        return QString();
    for (QWebFrame *f = frame ? frame : mainFrame(); f; f = f->parentFrame()) {
        const QWebSecurityOrigin origin = f->securityOrigin();
        if (!XTrustPolicy::isTrustedOrigin(origin.scheme(), origin.host(), origin.port()))
            return QString();
    }
    return m_presetFile;
}

QString XWebPage::chooseFile(QWebFrame *frame, const QString &oldFile)
{
    const QString preset = presetFileFor(frame);
    if (!preset.isEmpty())
        return preset;
    return QWebPage::chooseFile(frame, oldFile);
}

QString XWebPage::userAgentForUrl(const QUrl &) const
{
    return userAgent();
}

QString XWebPage::consoleLine(const QString &sourceID, int lineNumber, const QString &message)
{
    QString line = (sourceID.isEmpty() ? QStringLiteral("(script)") : sourceID) + QLatin1Char(':')
        + QString::number(lineNumber) + QStringLiteral(": ") + message;
    // A page must not be able to drive the terminal with escape sequences.
    for (QChar &c : line) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')) || c.unicode() == 0x7f
            || (c.unicode() >= 0x80 && c.unicode() < 0xa0))
            c = QChar(0xfffd);
    }
    return line + QLatin1Char('\n');
}

void XWebPage::javaScriptConsoleMessage(const QString &message, int lineNumber, const QString &sourceID)
{
    const QByteArray line = consoleLine(sourceID, lineNumber, message).toLocal8Bit();
    fwrite(line.constData(), 1, size_t(line.size()), stderr);
    fflush(stderr);
}
