#include "web/xwebpage.h"

#include "core/xtrustpolicy.h"
#include "web/xnotificationplugin.h"

#include "xjsliteral.h"

#include <QNetworkRequest>
#include <QUuid>
#include <QWebFrame>
#include <QWebSecurityOrigin>

#include <cstdio>

XWebPage::XWebPage(QObject *parent)
    : QWebPage(parent)
    , m_consoleToken(QStringLiteral("\x01vesk-console-")
                     + QUuid::createUuid().toString().remove(QLatin1Char('{')).remove(QLatin1Char('}'))
                     + QLatin1Char('\x01'))
{
    connect(mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this, [this] { m_verdictValid = false; });
    installConsole(mainFrame());
    connect(this, &QWebPage::frameCreated, this, [this](QWebFrame *frame) { installConsole(frame); });
    // Notifications reach the desktop from trusted documents only; others are
    // told no, and the engine's other features stay as the engine has them.
    XNotificationPlugin::install();
    connect(this, &QWebPage::featurePermissionRequested, this, [this](QWebFrame *frame, Feature feature) {
        if (feature == Notifications)
            setFeaturePermission(frame, feature, isDocumentTrusted(frame) ? PermissionGrantedByUser
                                                                          : PermissionDeniedByUser);
    });
}

void XWebPage::installConsole(QWebFrame *frame)
{
    // The engine keeps the window object of a frame's first, empty document for
    // the first real one: an untrusted one gets the engine's console back.
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this, [this, frame] {
        // A trusted document's notifications show without asking first.
        if (isDocumentTrusted(frame))
            setFeaturePermission(frame, Notifications, PermissionGrantedByUser);
        frame->evaluateJavaScript(isDocumentTrusted(frame) ? consoleScript(m_consoleToken)
                                                           : QStringLiteral("(function () { var c = window.console,"
                                                                            " o = c && c.__vesk; if (!o) return;"
                                                                            " for (var k in o) c[k] = o[k];"
                                                                            " delete c.__vesk; })();"));
    });
}

QString XWebPage::consoleScript(const QString &token)
{
    // Browsers' rules: a first string argument may hold %s %d %i %f %o %O %c %%,
    // the rest follow separated by blanks, strings as they are, objects as JSON.
    static const QString script = QStringLiteral(R"JS((function (token) {
  var c = window.console;
  if (!c || c.__vesk) return;
  function show(v) {
    if (typeof v === 'string') return v;
    if (v === undefined || v === null || typeof v !== 'object' && typeof v !== 'function') return String(v);
    if (typeof v === 'function') return 'function ' + (v.name || '') + '()';
    if (v instanceof Error) return v.stack ? String(v) + '\n' + v.stack : String(v);
    if (typeof Node !== 'undefined' && v instanceof Node) return '<' + String(v.nodeName).toLowerCase() + '>';
    var seen = [];
    try {
      var text = JSON.stringify(v, function (k, x) {
        if (x && typeof x === 'object') { if (seen.indexOf(x) >= 0) return '[Circular]'; seen.push(x); }
        return x === undefined ? null : typeof x === 'function' ? 'function ' + (x.name || '') + '()' : x;
      });
      return text === undefined ? String(v) : text;
    } catch (e) { return String(v); }
  }
  function format(args) {
    var parts = [], i = 0;
    if (typeof args[0] === 'string' && args.length > 1) {
      i = 1;
      parts.push(args[0].replace(/%([sdifoOc%])/g, function (m, f) {
        if (f === '%') return '%';
        if (i >= args.length) return m;
        var v = args[i++];
        if (f === 'c') return '';
        if (f === 'd' || f === 'i') return String(parseInt(v, 10));
        if (f === 'f') return String(parseFloat(v));
        return f === 's' && typeof v !== 'object' ? String(v) : show(v);
      }));
    }
    for (; i < args.length; ++i) parts.push(show(args[i]));
    return parts.join(' ');
  }
  function caller() {
    var stack = '';
    try { throw new Error(); } catch (e) { stack = String(e.stack || ''); }
    var m = /^[^@\n]*@(.+):(\d+):\d+$/.exec(stack.split('\n')[2] || '');
    return m ? m[2] + '\n' + m[1] : '\n';
  }
  var originals = {};
  ['log', 'info', 'warn', 'error', 'debug'].forEach(function (name) {
    var original = c[name];
    if (typeof original !== 'function') return;
    originals[name] = original;
    c[name] = function () {
      var text;
      try { text = token + caller() + '\n' + format(arguments); } catch (e) { return original.apply(c, arguments); }
      return original.call(c, text);
    };
  });
  Object.defineProperty(c, '__vesk', { value: originals, configurable: true });
})()JS");
    return script + XJsLiteral::fromString(token) + QStringLiteral(");");
}

bool XWebPage::unwrapConsoleMessage(const QString &token, QString *message, int *lineNumber, QString *sourceID)
{
    if (token.isEmpty() || !message->startsWith(token))
        return false;
    const int lineEnd = message->indexOf(QLatin1Char('\n'), token.size());
    const int sourceEnd = lineEnd < 0 ? -1 : message->indexOf(QLatin1Char('\n'), lineEnd + 1);
    if (sourceEnd < 0)
        return false;
    bool ok = false;
    const int line = message->mid(token.size(), lineEnd - token.size()).toInt(&ok);
    // Where the caller could not be found, the engine's own place stands.
    if (ok) {
        *lineNumber = line;
        *sourceID = message->mid(lineEnd + 1, sourceEnd - lineEnd - 1);
    }
    *message = message->mid(sourceEnd + 1);
    return true;
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
    if (frame->parentFrame())
        return XTrustPolicy::isTrustedDocument(url, origin.scheme(), origin.host(), origin.port());
    // The main frame's document is judged once: resolving its path costs system
    // calls, and every callback asks. A new document clears the verdict.
    const QString key = url.toString() + QLatin1Char(' ') + origin.scheme() + QLatin1Char(' ') + origin.host()
        + QLatin1Char(' ') + QString::number(origin.port());
    if (!m_verdictValid || m_verdictKey != key) {
        m_verdict = XTrustPolicy::isTrustedDocument(url, origin.scheme(), origin.host(), origin.port());
        m_verdictKey = key;
        m_verdictValid = true;
    }
    return m_verdict;
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
    QString text = message;
    QString source = sourceID;
    unwrapConsoleMessage(m_consoleToken, &text, &lineNumber, &source);
    const QByteArray line = consoleLine(source, lineNumber, text).toLocal8Bit();
    fwrite(line.constData(), 1, size_t(line.size()), stderr);
    fflush(stderr);
}
