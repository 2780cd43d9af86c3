#pragma once

#include <QWebPage>

class XWebPage : public QWebPage {
    Q_OBJECT

public:
    explicit XWebPage(QObject *parent = nullptr);

    static QString userAgent();
    // "url:line: message" with control characters made harmless.
    static QString consoleLine(const QString &sourceID, int lineNumber, const QString &message);
    // The engine hands the console only a message's first argument. Trusted
    // documents get console methods that format every argument and pass the
    // caller's place along, marked with the page's own token; this takes the
    // mark off again. Untrusted documents cannot know the token.
    static QString consoleScript(const QString &token);
    static bool unwrapConsoleMessage(const QString &token, QString *message, int *lineNumber, QString *sourceID);

    // Whether the frame's document may use native objects. A blank document with
    // a local origin was made by whoever the engine says; a subframe's is judged
    // by its parent, a main frame's by what the page's owner set below.
    bool isDocumentTrusted(QWebFrame *frame) const;
    // The frame and every frame above it.
    bool isFrameChainTrusted(QWebFrame *frame) const;
    // How to judge the main frame's blank documents: the first, empty one (made
    // by native code or by a trusted opener) and a later about:blank.
    void setBlankMainFrameTrust(bool empty, bool aboutBlank);

    // Local files outside the application directory share the engine's local
    // origin with the application's pages, so they may not load where they
    // could reach a trusted document: never in a subframe, and in the main
    // frame only when this is allowed (a window of its own, not a popup).
    void setForeignFilesInMainFrame(bool allowed);
    // From now on every frame loads only file: URLs.
    void setLocalOnly();

    // The file every later file chooser of this page returns, until changed.
    void setPresetFile(const QString &file);
    // What a file chooser in the frame gets without a dialog: the preset file,
    // but only for a frame that, with every frame above it, the application trusts.
    QString presetFileFor(QWebFrame *frame) const;

protected:
    bool acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type) override;
    QString chooseFile(QWebFrame *frame, const QString &oldFile) override;
    QString userAgentForUrl(const QUrl &url) const override;
    // Page authors see their console output and script errors on stderr.
    void javaScriptConsoleMessage(const QString &message, int lineNumber, const QString &sourceID) override;

private:
    void installConsole(QWebFrame *frame);

    QString m_consoleToken;
    QString m_presetFile;
    bool m_emptyMainTrusted = false;
    bool m_blankMainTrusted = false;
    bool m_foreignFilesInMainFrame = true;
    bool m_localOnly = false;
    // The main frame's document and whether it is trusted.
    mutable QString m_verdictKey;
    mutable bool m_verdict = false;
    mutable bool m_verdictValid = false;
};
