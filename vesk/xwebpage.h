#pragma once

#include <QWebPage>

class XWebPage : public QWebPage {
    Q_OBJECT

public:
    explicit XWebPage(QObject *parent = nullptr);

    static QString userAgent();
    // "url:line: message" with control characters made harmless.
    static QString consoleLine(const QString &sourceID, int lineNumber, const QString &message);

    // The file every later file chooser of this page returns, until changed.
    void setPresetFile(const QString &file);
    QString presetFile() const { return m_presetFile; }
    // What a file chooser in the frame gets without a dialog: the preset file,
    // but only for a frame that, with every frame above it, the application trusts.
    QString presetFileFor(QWebFrame *frame) const;

protected:
    QString chooseFile(QWebFrame *frame, const QString &oldFile) override;
    QString userAgentForUrl(const QUrl &url) const override;
    // Page authors see their console output and script errors on stderr.
    void javaScriptConsoleMessage(const QString &message, int lineNumber, const QString &sourceID) override;

private:
    QString m_presetFile;
};
