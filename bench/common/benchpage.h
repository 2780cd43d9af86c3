#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class QWebFrame;
class XWebWindow;

// A throw-away application whose init.html is the given page, made the working
// directory, and a window that has loaded it: what every host benchmark starts from.
class BenchPage {
public:
    // parentDir: where the temporary application goes (the system's temporary folder when empty).
    explicit BenchPage(const QByteArray &html, const QString &parentDir = QString());
    ~BenchPage();

    // False when the application could not be written or the page did not load in 10 s.
    bool isReady() const { return m_ready; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString path() const { return m_dir.path(); }
    XWebWindow *window() const { return m_window.get(); }
    QWebFrame *frame() const;

    // A KiB field of /proc/self/status ("VmRSS:", "VmHWM:"); -1 where there is none.
    static qint64 statusKiB(const char *field);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<XWebWindow> m_window;
    bool m_ready = false;
};
