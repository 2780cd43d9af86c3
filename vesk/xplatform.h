#pragma once

#include <QString>

// The few questions only the operating system can answer. The Linux side is the
// one built and tested; the Windows side keeps the original conventions.
class XPlatform {
public:
    // The application directory, relative to the working directory.
    static QString applicationDirectory();

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

    // Copies a file's bytes and permissions to to, which must not exist yet.
    static bool copyFile(const QString &from, const QString &to);

    // Recreates the link at from as a link at to, with the same target text.
    static bool copyLink(const QString &from, const QString &to);
};
