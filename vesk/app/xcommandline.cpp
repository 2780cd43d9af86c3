#include "app/xcommandline.h"

#include "core/xtrustpolicy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QUrl>

bool XCommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs the HTML and JavaScript application whose start page is app/init.html\n"
                       "under the working directory."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption workdir(
        QStringLiteral("workdir"),
        QStringLiteral("Change to DIR before start-up; app/ and config.ini are found there."), QStringLiteral("DIR"));
    const QCommandLineOption inspector(QStringLiteral("inspector"),
                                       QStringLiteral("Let pages be inspected (context menu, Inspect)."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a PNG of the main window once the start page has loaded, then quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption trust(
        QStringLiteral("trust-origin"),
        QStringLiteral("Give the native API to pages from ORIGIN (scheme://host[:port]); repeatable."),
        QStringLiteral("ORIGIN"));
    const QCommandLineOption watch(QStringLiteral("watch"),
                                   QStringLiteral("Reload the pages of every window when a file under app/ changes."));
    parser.addOptions({workdir, inspector, screenshot, trust, watch});

    m_help = parser.helpText();
    if (!parser.parse(arguments)) {
        m_error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        m_error = QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first();
        return false;
    }
    m_helpRequested = parser.isSet(help);
    m_versionRequested = parser.isSet(version);
    m_workdir = parser.value(workdir);
    m_inspector = parser.isSet(inspector);
    m_watch = parser.isSet(watch);
    if (parser.isSet(screenshot))
        m_screenshot = QDir::current().absoluteFilePath(parser.value(screenshot));
    for (const QString &origin : parser.values(trust)) {
        if (XTrustPolicy::origin(QUrl(origin)).isEmpty()) {
            m_error = QStringLiteral("Not an origin (scheme://host[:port]): ") + origin;
            return false;
        }
        m_trustedOrigins << origin;
    }
    return true;
}

QString XCommandLine::versionText() const
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
        + QLatin1Char('\n');
}
