#include "xwebpage.h"

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

QString XWebPage::chooseFile(QWebFrame *frame, const QString &oldFile)
{
    if (!m_presetFile.isEmpty())
        return m_presetFile;
    return QWebPage::chooseFile(frame, oldFile);
}

QString XWebPage::userAgentForUrl(const QUrl &) const
{
    return userAgent();
}

void XWebPage::javaScriptConsoleMessage(const QString &message, int lineNumber, const QString &sourceID)
{
    const QByteArray line = (sourceID.isEmpty() ? QStringLiteral("(script)") : sourceID).toLocal8Bit()
        + ':' + QByteArray::number(lineNumber) + ": " + message.toLocal8Bit() + '\n';
    fwrite(line.constData(), 1, size_t(line.size()), stderr);
    fflush(stderr);
}
