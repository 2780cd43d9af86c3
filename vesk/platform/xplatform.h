#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

class QFile;
class QFileDevice;
class QSettings;

// The few questions only the operating system can answer. The Linux side is the
// one built and tested; the Windows side keeps the Windows conventions.
class XPlatform {
public:
    // The application directory, relative to the working directory.
    static QString applicationDirectory();
    // The file name suffix of shared libraries, with the dot.
    static QString librarySuffix();
    // Where an installed vesk keeps the plug-ins that come with it.
    static QString installedPluginDirectory();

    // The folder that holds the registry files where there is no registry:
    // vesk/registry under the user's configuration directory.
    static QString registryDirectory();
    // The settings store at a normalised registry path ("ROOT\group\..."), with
    // its group selected; null when the path names none. Without a registry the
    // root element picks one INI file in registryDirectory(), so it must be a
    // plain name, and no element may be empty, "." or "..".
    static std::unique_ptr<QSettings> openRegistry(const QString &path);

    // The user's documents folder; empty when the system names none.
    static QString documentsDirectory();
    // Shows the folder in the desktop's file manager; the outcome is not known.
    static void exploreDirectory(const QString &path);

    // Runs the text through the command interpreter and waits for it to end.
    static void runShell(const QString &command);
    // Starts one command string (blanks separate, double quotes group) and lets it go.
    static void startDetached(const QString &command);

    enum Space { FreeSpace, TotalSpace };
    // The path whose volume a page means by disk: a drive-letter form ("C",
    // "C:", "C:\...") means the system's root volume; empty when it names none.
    static QString volumePath(const QString &disk);
    // Bytes free for the calling user, or in all, on the volume of disk; -1 when
    // it cannot be queried.
    static qint64 space(const QString &disk, Space which);

    // Copies a regular file's bytes and permissions to to, which must not exist
    // yet. FIFOs and devices are refused at once, never waited on.
    static bool copyFile(const QString &from, const QString &to);

    // Opens path into file only when it is a regular file (or a new one that the
    // mode creates). A FIFO or device is refused at once: opening or reading one
    // could block the page for ever, or never end.
    static bool openRegular(QFile *file, const QString &path, QIODevice::OpenMode mode);

    // Asks the system to start writing the given bytes of an open file to disk
    // now, without waiting: a later flush to disk then has little left to do.
    // Only a hint; false where it is not offered or was refused.
    static bool startWriteback(QFileDevice *file, qint64 from, qint64 length);

    // Whether the folder's entries can be read: a listing of one that cannot
    // looks just like an empty folder.
    static bool canList(const QString &dir);

    // Recreates the link at from as a link at to, with the same target text.
    static bool copyLink(const QString &from, const QString &to);

    // Whether symbol is a function that the library file itself defines, not
    // one of its dependencies (the system loader looks through both) nor data.
    static bool isFunctionOf(const void *symbol, const QString &libraryFile);
};
