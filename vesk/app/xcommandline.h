#pragma once

#include <QStringList>

// The program's command line: vesk [--workdir DIR] [--inspector]
// [--screenshot FILE [--screenshot-wait]] [--trust-origin ORIGIN]... [--watch]
// [--help] [--version] [-- ARGUMENTS...]
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
    // Whether the screenshot waits for the page's screenshotReady().
    bool screenshotWait() const { return m_screenshotWait; }
    // Everything after the first "--", for the pages.
    QStringList passedArguments() const { return m_passed; }
    // Why a screenshot cannot be saved at path; empty when it can.
    static QString screenshotProblem(const QString &path);

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
    bool m_screenshotWait = false;
    QStringList m_passed;
};
