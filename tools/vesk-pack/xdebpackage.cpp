#include "xdebpackage.h"

#include "core/xmanifest.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {
const QFileDevice::Permissions FilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
const QFileDevice::Permissions ExecutablePermissions =
    FilePermissions | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

// Desktop entry values: a backslash starts an escape there.
QString desktopValue(const QString &text)
{
    return QString(text).replace(QLatin1Char('\\'), QLatin1String("\\\\"));
}

bool isOneLine(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar(0x2028) || c == QChar(0x2029))
            return false;
    }
    return true;
}
} // namespace

QString XDebPackage::dependency()
{
    return QStringLiteral("vesk (>= " VESK_VERSION ")");
}

QString XDebPackage::launcherScript(const QString &id)
{
    // The id is checked to hold nothing the shell treats specially.
    return QStringLiteral(R"SH(#!/bin/sh
# Runs %1 on vesk in a working directory of the user's own (config.ini and
# databases are written there); its app/ and libs/ are the installed ones.
set -eu
id=%1
share=$(readlink -f "$(dirname "$(readlink -f "$0")")/../share/$id")
case "${XDG_DATA_HOME:-}" in
  /*) data=$XDG_DATA_HOME/$id ;;
  *) data=${HOME:?HOME is not set}/.local/share/$id ;;
esac
mkdir -p "$data"
for d in app libs; do
  if [ -d "$share/$d" ]; then
    if [ -L "$data/$d" ] || [ ! -e "$data/$d" ]; then
      ln -sfn "$share/$d" "$data/$d"
    else
      echo "$id: $data/$d is in the way of the installed $d/; move it elsewhere" >&2
      exit 1
    fi
  elif [ -L "$data/$d" ]; then
    rm -f "$data/$d"
  fi
done
exec vesk --workdir "$data" "$@"
)SH")
        .arg(id);
}

QString XDebPackage::desktopEntry(const XManifest &manifest)
{
    const QString name = manifest.name().isEmpty() ? manifest.id() : manifest.name();
    QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\n").arg(desktopValue(name));
    if (!manifest.description().isEmpty())
        entry += QStringLiteral("Comment=%1\n").arg(desktopValue(manifest.description()));
    entry += QStringLiteral("Exec=%1\nTerminal=false\nCategories=Utility;\n").arg(manifest.id());
    if (!manifest.icon().isEmpty())
        entry += QStringLiteral("Icon=%1\n").arg(manifest.id());
    return entry;
}

bool XDebPackage::fail(const QString &text)
{
    m_error = text;
    return false;
}

bool XDebPackage::checkManifest(const XManifest &manifest)
{
    if (!manifest.problems().isEmpty())
        return fail(manifest.problems().join(QLatin1Char('\n')));
    if (manifest.id().isEmpty())
        return fail(QStringLiteral("app/vesk.json names no \"id\"; the package is named after it"));
    if (manifest.id() == QLatin1String("vesk"))
        return fail(QStringLiteral("the id \"vesk\" is vesk's own package"));
    if (manifest.version().isEmpty())
        return fail(QStringLiteral("app/vesk.json names no \"version\""));
    if (!isOneLine(m_maintainer) || !m_maintainer.contains(QLatin1Char('<')))
        return fail(QStringLiteral("the maintainer must be one line, \"Name <address>\""));
    return true;
}

bool XDebPackage::writeFile(const QString &path, const QByteArray &content, bool executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()
        || !file.setPermissions(executable ? ExecutablePermissions : FilePermissions))
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

bool XDebPackage::copyTree(const QString &from, const QString &to, qint64 *bytes)
{
    if (!QDir().mkpath(to))
        return fail(QStringLiteral("cannot create %1").arg(to));
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (info.isSymLink())
            return fail(QStringLiteral("%1 is a symbolic link; put the file itself there").arg(source));
        if (info.isDir()) {
            if (!QDir().mkpath(target))
                return fail(QStringLiteral("cannot create %1").arg(target));
            continue;
        }
        if (!info.isFile())
            return fail(QStringLiteral("%1 is not a regular file").arg(source));
        if (!QFile::copy(source, target))
            return fail(QStringLiteral("cannot copy %1").arg(source));
        if (!QFile::setPermissions(target, info.isExecutable() ? ExecutablePermissions : FilePermissions))
            return fail(QStringLiteral("cannot set the permissions of %1").arg(target));
        *bytes += info.size();
    }
    return true;
}

QString XDebPackage::architectureFor(const QString &appFolder)
{
    if (!m_architecture.isEmpty())
        return m_architecture;
    // Plug-ins are machine code; pages alone run anywhere vesk does.
    if (QDir(appFolder + QStringLiteral("/libs")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
        return QStringLiteral("all");
    QProcess dpkg;
    dpkg.start(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    if (!dpkg.waitForFinished(30000) || dpkg.exitCode() != 0)
        return QString();
    return QString::fromLatin1(dpkg.readAllStandardOutput()).trimmed();
}

bool XDebPackage::build(const QString &folder)
{
    m_packageFile.clear();
    // Paths inside the copy are made relative to it: both sides absolute.
    const QString appFolder = QFileInfo(folder).absoluteFilePath();
    const QString app = appFolder + QStringLiteral("/app");
    if (!QFileInfo(app + QStringLiteral("/init.html")).isFile())
        return fail(QStringLiteral("%1 holds no app/init.html").arg(QFileInfo(appFolder).absoluteFilePath()));
    XManifest manifest;
    manifest.load(app + QStringLiteral("/vesk.json"));
    if (!QFileInfo::exists(app + QStringLiteral("/vesk.json")))
        return fail(QStringLiteral("%1/vesk.json does not exist").arg(QFileInfo(app).absoluteFilePath()));
    if (!checkManifest(manifest))
        return false;
    const QString id = manifest.id();
    const QString architecture = architectureFor(appFolder);
    if (architecture.isEmpty() || !isOneLine(architecture) || architecture.contains(QLatin1Char(' ')))
        return fail(QStringLiteral("cannot tell the architecture (dpkg --print-architecture); name one with --arch"));

    QTemporaryDir stage;
    if (!stage.isValid())
        return fail(QStringLiteral("cannot create a temporary folder: %1").arg(stage.errorString()));
    const QString root = stage.path() + QStringLiteral("/root");
    const QString share = root + QStringLiteral("/usr/share/") + id;
    qint64 bytes = 0;
    if (!copyTree(app, share + QStringLiteral("/app"), &bytes))
        return false;
    if (QFileInfo(appFolder + QStringLiteral("/libs")).isDir()
        && !copyTree(appFolder + QStringLiteral("/libs"), share + QStringLiteral("/libs"), &bytes))
        return false;
    if (!manifest.icon().isEmpty()) {
        const QString icon = app + QLatin1Char('/') + manifest.icon();
        const QString suffix = QFileInfo(icon).suffix().toLower();
        if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") && suffix != QLatin1String("xpm"))
            return fail(QStringLiteral("the icon %1 must be a .png, .svg or .xpm file").arg(manifest.icon()));
        QFile source(icon);
        if (!QFileInfo(icon).isFile() || !source.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the icon %1").arg(icon));
        if (!writeFile(root + QStringLiteral("/usr/share/pixmaps/%1.%2").arg(id, suffix), source.readAll(), false))
            return false;
    }
    const QString launcher = launcherScript(id);
    const QString entry = desktopEntry(manifest);
    if (!writeFile(root + QStringLiteral("/usr/bin/") + id, launcher.toUtf8(), true)
        || !writeFile(root + QStringLiteral("/usr/share/applications/%1.desktop").arg(id), entry.toUtf8(), false))
        return false;
    bytes += launcher.size() + entry.size();

    const QString name = manifest.name().isEmpty() ? id : manifest.name();
    const QString summary = manifest.description().isEmpty() ? name : manifest.description();
    const QString control = QStringLiteral("Package: %1\nVersion: %2\nArchitecture: %3\nMaintainer: %4\n"
                                           "Installed-Size: %5\nDepends: %6\nSection: misc\nPriority: optional\n"
                                           "Description: %7\n %8 runs on vesk.\n")
                                .arg(id, manifest.version(), architecture, m_maintainer)
                                .arg((bytes + 1023) / 1024)
                                .arg(dependency(), summary, name);
    if (!writeFile(root + QStringLiteral("/DEBIAN/control"), control.toUtf8(), false))
        return false;
    // Whatever the umask, folders are readable by everyone.
    QFile::setPermissions(root, ExecutablePermissions | QFileDevice::WriteOwner);
    QDirIterator dirs(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (dirs.hasNext())
        QFile::setPermissions(dirs.next(), ExecutablePermissions | QFileDevice::WriteOwner);

    const QString output = m_outputDirectory.isEmpty() ? QDir::currentPath() : m_outputDirectory;
    const QString file =
        QDir(output).absoluteFilePath(QStringLiteral("%1_%2_%3.deb").arg(id, manifest.version(), architecture));
    QProcess dpkgDeb;
    dpkgDeb.setProcessChannelMode(QProcess::MergedChannels);
    dpkgDeb.start(QStringLiteral("dpkg-deb"), {QStringLiteral("--root-owner-group"), QStringLiteral("--build"), root, file});
    if (!dpkgDeb.waitForStarted())
        return fail(QStringLiteral("cannot run dpkg-deb: %1").arg(dpkgDeb.errorString()));
    dpkgDeb.waitForFinished(-1);
    if (dpkgDeb.exitStatus() != QProcess::NormalExit || dpkgDeb.exitCode() != 0)
        return fail(QStringLiteral("dpkg-deb failed: %1").arg(QString::fromLocal8Bit(dpkgDeb.readAll()).trimmed()));
    m_packageFile = file;
    return true;
}
