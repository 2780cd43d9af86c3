#include "veskharness.h"

#include "api/xjavascriptapi.h"
#include "page/xpagebinding.h"
#include "web/xwebsettings.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <QWebFrame>

VeskHarness::VeskHarness()
    : m_previousDir(QDir::currentPath())
{
    // qrc:/vesk.js and the other built-in pages, as main() makes them available.
    Q_INIT_RESOURCE(vesk);
    XWebSettings::applyGlobal();
    XJavaScriptAPI::serveBindings();
    QDir(m_dir.path()).mkpath(QStringLiteral("app"));
    QDir::setCurrent(m_dir.path());
}

VeskHarness::~VeskHarness()
{
    QDir::setCurrent(m_previousDir);
}

void VeskHarness::writePage(const QString &name, const QByteArray &content)
{
    const QString file = m_dir.path() + QStringLiteral("/app/") + name;
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

XWebWindow *VeskHarness::openWindow(const QString &page)
{
    auto *window = new XWebWindow;
    window->show();
    QSignalSpy loaded(window->view(), &QWebView::loadFinished);
    window->load(page);
    if (loaded.isEmpty())
        loaded.wait(10000);
    return window;
}

XWebWindow *VeskHarness::openRemote(const QUrl &url)
{
    writePage(QStringLiteral("init.html"), "<html><body>local</body></html>");
    XWebWindow *window = openWindow(QStringLiteral("/init.html"));
    QSignalSpy loaded(window->view(), &QWebView::loadFinished);
    window->binding()->followLink(url);
    if (loaded.isEmpty())
        loaded.wait(10000);
    return window;
}

bool VeskHarness::waitForLoad(XWebView *view, int timeoutMs)
{
    QSignalSpy loaded(view, &QWebView::loadFinished);
    return loaded.wait(timeoutMs);
}

QVariant VeskHarness::eval(QWebFrame *frame, const QString &script)
{
    return frame->evaluateJavaScript(script);
}

void VeskHarness::answerDialogs()
{
    auto *timer = new QTimer(&m_timerOwner);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, &m_timerOwner, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            m_dialogTexts << box->windowTitle() + QLatin1Char(':') + box->text();
            box->accept();
        } else {
            modal->close();
        }
    });
    timer->start();
}
