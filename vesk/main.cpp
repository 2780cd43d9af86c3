#include "api/xjavascriptapi.h"
#include "app/vesk.h"
#include "app/xcommandline.h"
#include "core/xsystemutil.h"
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

static void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("vesk"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
}

// --help and --version answer without a display: no widget application is made for them.
static bool printedTextOnly(int argc, char *argv[])
{
    bool asked = false;
    for (int i = 1; i < argc && qstrcmp(argv[i], "--") != 0; ++i) {
        for (const char *option : {"--help", "-h", "-?", "--help-all", "--version", "-v"})
            asked = asked || qstrcmp(argv[i], option) == 0;
    }
    if (!asked)
        return false;
    QCoreApplication probe(argc, argv);
    nameApplication();
    XCommandLine options;
    // Anything unusual (Qt's own options, a value that looks like --help) goes the usual way.
    if (!options.parse(QCoreApplication::arguments()) || !(options.helpRequested() || options.versionRequested()))
        return false;
    fputs(qPrintable(options.helpRequested() ? options.helpText() : options.versionText()), stdout);
    // Written out now, whatever runs at exit.
    fflush(stdout);
    return true;
}

int main(int argc, char *argv[])
{
    if (printedTextOnly(argc, argv))
        return 0;
    QApplication application(argc, argv);
    nameApplication();
    Q_INIT_RESOURCE(vesk);

    XCommandLine options;
    if (!options.parse(QApplication::arguments())) {
        fprintf(stderr, "vesk: %s\n", qPrintable(options.errorText()));
        return 2;
    }
    if (options.helpRequested() || options.versionRequested()) {
        fputs(qPrintable(options.helpRequested() ? options.helpText() : options.versionText()), stdout);
        fflush(stdout);
        return 0;
    }
    XSystemUtil::setPassedArguments(options.passedArguments());
    if (!options.workdir().isEmpty() && !QDir::setCurrent(options.workdir())) {
        fprintf(stderr, "vesk: cannot change to working directory %s\n", qPrintable(options.workdir()));
        return 2;
    }
    // A picture of the page is its own run: it never goes to a running instance.
    if (options.screenshot().isEmpty() && Vesk::handOffToRunningInstance())
        return 0;
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
            const int limitMs = customWait && waitMs > 0 ? waitMs : 30000;
            const bool waitForPage = options.screenshotWait();
            auto ready = std::make_shared<bool>(false);
            auto loaded = std::make_shared<bool>(window->loadHasFinished());
            // A short pause lets the first paint of the page happen.
            auto takeWhenDue = [take, ready, loaded, waitForPage] {
                if (*loaded && (*ready || !waitForPage))
                    QTimer::singleShot(100, take);
            };
            QTimer::singleShot(limitMs, &application, [take, ready, taken, waitForPage, limitMs] {
                if (waitForPage && !*ready && !*taken)
                    fprintf(stderr, "vesk: the page did not call vesk.ready() within %d ms; taking the picture as it is\n",
                            limitMs);
                take();
            });
            if (waitForPage) {
                XJavaScriptAPI::setReadyHandler([window, ready, takeWhenDue](XWebWindow *caller) {
                    if (caller != window)
                        return;
                    *ready = true;
                    takeWhenDue();
                });
            }
            QObject::connect(window->view(), &QWebView::loadFinished, &application, [loaded, takeWhenDue] {
                *loaded = true;
                takeWhenDue();
            });
            takeWhenDue();
        }
        code = application.exec();
        XJavaScriptAPI::setReadyHandler({});
    }
    return code;
}
