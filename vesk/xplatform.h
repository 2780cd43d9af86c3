#pragma once

#include <QString>

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
};
