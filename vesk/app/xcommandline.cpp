#include "app/xcommandline.h"

#include "core/xtrustpolicy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
    const QCommandLineOption screenshotWait(
        QStringLiteral("screenshot-wait"),
        QStringLiteral("With --screenshot: wait until the start page calls vesk.ready() (at most 30 s)."));
    parser.addOptions({workdir, inspector, screenshot, trust, watch, screenshotWait});

    m_help = parser.helpText() + QStringLiteral("\nArguments after -- are handed to the pages (app.getArguments()).\n");
    // What follows "--" is the application's, not vesk's.
    QStringList own = arguments;
    const int dashes = own.indexOf(QStringLiteral("--"));
    if (dashes > 0) {
        m_passed = own.mid(dashes + 1);
        own = own.mid(0, dashes);
    }
    if (!parser.parse(own)) {
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
    m_screenshotWait = parser.isSet(screenshotWait);
    if (parser.isSet(screenshot)) {
        m_screenshot = QDir::current().absoluteFilePath(parser.value(screenshot));
        const QString problem = screenshotProblem(m_screenshot);
        if (!problem.isEmpty()) {
            m_error = QStringLiteral("Cannot save the screenshot to ") + m_screenshot + QStringLiteral(": ") + problem;
            return false;
        }
    } else if (m_screenshotWait) {
        m_error = QStringLiteral("--screenshot-wait needs --screenshot FILE");
        return false;
    }
    for (const QString &origin : parser.values(trust)) {
        if (XTrustPolicy::origin(QUrl(origin)).isEmpty()) {
            m_error = QStringLiteral("Not an origin (scheme://host[:port]): ") + origin;
            return false;
        }
        m_trustedOrigins << origin;
    }
    return true;
}

QString XCommandLine::screenshotProblem(const QString &path)
{
    const QFileInfo file(path);
    if (path.endsWith(QLatin1Char('/')) || file.isDir())
        return QStringLiteral("it is a folder");
    if (file.exists() && !file.isFile())
        return QStringLiteral("it is not a regular file");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("the file is not writable");
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder does not exist");
    if (!file.exists() && !folder.isWritable())
        return QStringLiteral("the folder is not writable");
    return QString();
}

QString XCommandLine::versionText() const
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
        + QLatin1Char('\n');
}
