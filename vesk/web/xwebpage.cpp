#include "web/xwebpage.h"

#include "core/xtrustpolicy.h"

#include <QNetworkRequest>
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

bool XWebPage::isDocumentTrusted(QWebFrame *frame) const
{
    if (!frame)
        return false;
    const QUrl url = frame->url();
    // A main frame's first document, before anything was loaded into it.
    if (url.isEmpty() && !frame->parentFrame())
        return m_emptyMainTrusted;
    const QWebSecurityOrigin origin = frame->securityOrigin();
    if (XTrustPolicy::isBlank(url) && XTrustPolicy::isLocalOrigin(origin.scheme(), origin.host())) {
        if (QWebFrame *parent = frame->parentFrame())
            return isDocumentTrusted(parent);
        return url.isEmpty() ? m_emptyMainTrusted : m_blankMainTrusted;
    }
    return XTrustPolicy::isTrustedDocument(url, origin.scheme(), origin.host(), origin.port());
}

bool XWebPage::isFrameChainTrusted(QWebFrame *frame) const
{
    if (!frame)
        return false;
    for (QWebFrame *f = frame; f; f = f->parentFrame()) {
        if (!isDocumentTrusted(f))
            return false;
    }
    return true;
}

void XWebPage::setBlankMainFrameTrust(bool empty, bool aboutBlank)
{
    m_emptyMainTrusted = empty;
    m_blankMainTrusted = aboutBlank;
}

void XWebPage::setForeignFilesInMainFrame(bool allowed)
{
    m_foreignFilesInMainFrame = allowed;
}

void XWebPage::setLocalOnly()
{
    m_localOnly = true;
}

bool XWebPage::acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type)
{
    const QUrl url = request.url();
    // A null frame is a load into a new window, which is judged by its own page.
    if (frame) {
        // The main frame's loads are stopped by the view, which keeps the old document.
        if (m_localOnly && frame != mainFrame() && url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0
            && !XTrustPolicy::isBlank(url))
            return false;
        if (XTrustPolicy::isForeignFile(url) && (frame != mainFrame() || !m_foreignFilesInMainFrame))
            return false;
    }
    return QWebPage::acceptNavigationRequest(frame, request, type);
}

QString XWebPage::presetFileFor(QWebFrame *frame) const
{
    if (m_presetFile.isEmpty())
        return QString();
    return isFrameChainTrusted(frame ? frame : mainFrame()) ? m_presetFile : QString();
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
