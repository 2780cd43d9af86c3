#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>

#include <functional>

class QWebFrame;
class QWidget;
class XWebView;
class XWebWindow;

// A throw-away application directory that is the working directory while the
// harness lives, plus helpers to open windows on its pages and drive them.
class VeskHarness {
public:
    VeskHarness();
    ~VeskHarness();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // Writes a file under app/.
    void writePage(const QString &name, const QByteArray &content);

    // A window (owned by the caller) showing the page, once its load has finished.
    XWebWindow *openWindow(const QString &page);
    // A window that starts on a local page and follows a link to url, as a user would.
    XWebWindow *openRemote(const QUrl &url);
    static bool waitForLoad(XWebView *view, int timeoutMs = 10000);
    static QVariant eval(QWebFrame *frame, const QString &script);

    // Answers the next modal dialogs from a timer so nothing blocks; the text of
    // each message box seen is collected.
    void answerDialogs();
    QStringList dialogTexts() const { return m_dialogTexts; }

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    QStringList m_dialogTexts;
    QObject m_timerOwner;
};
