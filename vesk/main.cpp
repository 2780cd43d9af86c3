#include "app/vesk.h"
#include "app/xcommandline.h"
#include "core/xtrustpolicy.h"
#include "web/xwebsettings.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QWebSettings>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vesk"));
    QApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    Q_INIT_RESOURCE(vesk);

    XCommandLine options;
    if (!options.parse(QApplication::arguments())) {
        fprintf(stderr, "%s\n", qPrintable(options.errorText()));
        return 2;
    }
    if (options.helpRequested() || options.versionRequested()) {
        fputs(qPrintable(options.helpRequested() ? options.helpText() : options.versionText()), stdout);
        // Written out now, whatever runs at exit.
        fflush(stdout);
        return 0;
    }
    if (!options.workdir().isEmpty() && !QDir::setCurrent(options.workdir())) {
        fprintf(stderr, "vesk: cannot change to working directory %s\n", qPrintable(options.workdir()));
        return 2;
    }
    XTrustPolicy::setTrustedOrigins(options.trustedOrigins());
    XWebSettings::applyGlobal();
    if (options.inspector())
        QWebSettings::globalSettings()->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);

    int code = 0;
    {
        Vesk vesk(QStringLiteral("/init.html"));
        if (options.watch())
            vesk.watchApplication();
        if (!options.screenshot().isEmpty()) {
            const QString file = options.screenshot();
            XWebWindow *window = vesk.mainWindow();
            // Without a window manager nobody honours "maximised": fill the screen ourselves.
            if (QScreen *screen = window->screen())
                window->setGeometry(screen->availableGeometry());
            auto taken = std::make_shared<bool>(false);
            auto take = [window, file, taken] {
                if (*taken)
                    return;
                *taken = true;
                const bool saved = window->grab().save(file, "PNG");
                fprintf(stderr, saved ? "vesk: screenshot saved to %s\n" : "vesk: cannot save screenshot to %s\n",
                        qPrintable(QDir::current().absoluteFilePath(file)));
                QCoreApplication::exit(saved ? 0 : 1);
            };
            // A page whose load never ends (a stalled image, say) still gets its picture.
            bool customWait = false;
            const int waitMs = qEnvironmentVariableIntValue("VESK_SCREENSHOT_WAIT_MS", &customWait);
            QTimer::singleShot(customWait && waitMs > 0 ? waitMs : 30000, &application, take);
            // A short pause lets the first paint of the page happen.
            if (window->loadHasFinished())
                QTimer::singleShot(100, take);
            else
                QObject::connect(window->view(), &QWebView::loadFinished, &application,
                                 [take] { QTimer::singleShot(100, take); });
        }
        code = application.exec();
    }
    return code;
}
