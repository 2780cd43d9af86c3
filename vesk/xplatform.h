#pragma once

#include <QString>

#include <memory>

class QSettings;

// The few questions only the operating system can answer. The Linux side is the
// one built and tested; the Windows side keeps the original conventions.
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
};
