#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// An application's manifest, app/vesk.json: who the application is (id, name,
// version, icon) and how its first window opens. Every key is optional and
// unknown keys are ignored. A file that is not a JSON object is ignored as a
// whole; a known key with an unusable value is ignored on its own, with a
// problem naming it, and the rest still counts.
class XManifest {
public:
    // Larger files are refused unread: a manifest is a few lines.
    static constexpr qint64 MaxFileSize = 64 * 1024;

    // A missing file is an empty manifest; anything else that cannot be read
    // (a folder, a FIFO, too large, not UTF-8 JSON) is a problem.
    void load(const QString &file);
    void parse(const QByteArray &json);

    // One line per thing ignored, for the terminal.
    QStringList problems() const { return m_problems; }

    // Empty when not given. The id names folders, files and a Debian package.
    QString id() const { return m_id; }
    QString name() const { return m_name; }
    QString version() const { return m_version; }
    QString description() const { return m_description; }
    // Relative to app/.
    QString icon() const { return m_icon; }
    QString windowTitle() const { return m_windowTitle; }
    // Invalid when not given.
    QSize windowSize() const { return m_windowSize; }
    // A second start hands its arguments to the running one and ends.
    bool singleInstance() const { return m_singleInstance; }
    // "rememberWindow": the main window's size, place and maximised state are
    // kept across runs. False when not given.
    bool rememberWindow() const { return m_rememberWindow; }

    // Lower-case letters, digits and ".+-", starting with a letter or digit, 2 to
    // 64 characters, no "..": safe as a file name, a command and a package name.
    static bool isValidId(const QString &id);
    // What a Debian version may hold: starts with a digit; letters, digits, ".+~-".
    static bool isValidVersion(const QString &version);

private:
    void clear();
    QString m_file;
    QStringList m_problems;
    QString m_id;
    QString m_name;
    QString m_version;
    QString m_description;
    QString m_icon;
    QString m_windowTitle;
    QSize m_windowSize;
    bool m_singleInstance = false;
    bool m_rememberWindow = false;
};
