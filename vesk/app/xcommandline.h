#pragma once

#include <QStringList>

// The program's command line: vesk [--workdir DIR] [--inspector]
// [--screenshot FILE] [--trust-origin ORIGIN]... [--watch] [--help] [--version]
class XCommandLine {
public:
    bool parse(const QStringList &arguments);

    QString errorText() const { return m_error; }
    QString helpText() const { return m_help; }
    QString versionText() const;
    bool helpRequested() const { return m_helpRequested; }
    bool versionRequested() const { return m_versionRequested; }
    QString workdir() const { return m_workdir; }
    bool inspector() const { return m_inspector; }
    // Absolute, resolved against the directory vesk was started from.
    QString screenshot() const { return m_screenshot; }
    QStringList trustedOrigins() const { return m_trustedOrigins; }
    bool watch() const { return m_watch; }

private:
    QString m_error;
    QString m_help;
    bool m_helpRequested = false;
    bool m_versionRequested = false;
    QString m_workdir;
    bool m_inspector = false;
    QString m_screenshot;
    QStringList m_trustedOrigins;
    bool m_watch = false;
};
