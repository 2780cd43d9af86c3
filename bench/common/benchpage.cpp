#include "benchpage.h"

#include "api/xjavascriptapi.h"
#include "web/xwebsettings.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebFrame>

BenchPage::BenchPage(const QByteArray &html, const QString &parentDir)
    : m_dir(QDir(parentDir.isEmpty() ? QDir::tempPath() : parentDir).absolutePath()
            + QStringLiteral("/vesk-bench-XXXXXX"))
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("app")))
        return;
    QFile page(m_dir.filePath(QStringLiteral("app/init.html")));
    if (!page.open(QIODevice::WriteOnly) || page.write(html) != html.size())
        return;
    page.close();
    QDir::setCurrent(m_dir.path());

    XWebSettings::applyGlobal();
    XJavaScriptAPI::serveBindings();
    m_window = std::make_unique<XWebWindow>();
    m_window->show();
    QEventLoop loading;
    bool loaded = false;
    QObject::connect(m_window->view(), &QWebView::loadFinished, &loading, [&loading, &loaded](bool ok) {
        loaded = ok;
        loading.quit();
    });
    QTimer::singleShot(10000, &loading, &QEventLoop::quit);
    m_window->load(QStringLiteral("/init.html"));
    loading.exec();
    m_ready = loaded;
}

BenchPage::~BenchPage() = default;

QWebFrame *BenchPage::frame() const
{
    return m_window ? m_window->mainFrame() : nullptr;
}

qint64 BenchPage::statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray name(field);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
