#pragma once

#include <QString>

class XManifest;

// A Debian package of one application on vesk, made with dpkg-deb from a folder
// holding app/ (with app/vesk.json naming id and version) and optionally libs/.
// The application goes to /usr/share/<id>/, a launcher to /usr/bin/<id> that
// runs vesk in a folder of the user's own, a desktop file and the icon beside.
class XDebPackage {
public:
    void setOutputDirectory(const QString &dir) { m_outputDirectory = dir; }
    void setMaintainer(const QString &maintainer) { m_maintainer = maintainer; }
    void setArchitecture(const QString &architecture) { m_architecture = architecture; }

    bool build(const QString &appFolder);
    QString errorText() const { return m_error; }
    QString packageFile() const { return m_packageFile; }

    // The vesk package every application package depends on.
    static QString dependency();
    static QString launcherScript(const QString &id);
    static QString desktopEntry(const XManifest &manifest);

private:
    bool fail(const QString &text);
    bool checkManifest(const XManifest &manifest);
    // Folders, regular files and nothing else: a link could pull in anything.
    bool copyTree(const QString &from, const QString &to, qint64 *bytes);
    bool writeFile(const QString &path, const QByteArray &content, bool executable);
    QString architectureFor(const QString &appFolder);

    QString m_outputDirectory;
    QString m_maintainer;
    QString m_architecture;
    QString m_error;
    QString m_packageFile;
};
