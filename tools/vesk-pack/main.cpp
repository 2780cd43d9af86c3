// vesk-pack [--output DIR] [--maintainer "NAME <ADDRESS>"] [--arch ARCH] FOLDER:
// a Debian package of the application in FOLDER (app/, app/vesk.json, libs/).
#include "xdebpackage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk-pack"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes a Debian package of an application on vesk: FOLDER holds app/ with app/vesk.json (naming at least "
        "\"id\" and \"version\") and optionally libs/."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Write the package into DIR."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption maintainer(QStringLiteral("maintainer"),
                                        QStringLiteral("The package's maintainer (default: $DEBFULLNAME <$DEBEMAIL>)."),
                                        QStringLiteral("NAME <ADDRESS>"));
    const QCommandLineOption arch(QStringLiteral("arch"),
                                  QStringLiteral("The architecture (default: all, or the machine's with libs/)."),
                                  QStringLiteral("ARCH"));
    parser.addOptions({output, maintainer, arch});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The application folder."));
    parser.process(application);
    if (parser.positionalArguments().size() != 1) {
        err << "vesk-pack: name one application folder (vesk-pack --help)\n";
        return 2;
    }

    XDebPackage package;
    package.setOutputDirectory(parser.value(output));
    QString who = parser.value(maintainer);
    if (who.isEmpty()) {
        const QString name = qEnvironmentVariable("DEBFULLNAME", QStringLiteral("Unknown"));
        const QString mail = qEnvironmentVariable("DEBEMAIL", QStringLiteral("unknown@localhost"));
        who = QStringLiteral("%1 <%2>").arg(name, mail);
    }
    package.setMaintainer(who);
    package.setArchitecture(parser.value(arch));
    if (!package.build(parser.positionalArguments().first())) {
        err << "vesk-pack: " << package.errorText() << '\n';
        return 1;
    }
    QTextStream(stdout) << package.packageFile() << '\n';
    return 0;
}
