// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real X display with a window manager, an XEmbed tray and the accessibility bus, made by the
// desktop harness in `harnessDirectory` (session.sh over harness.sh), and the harness's
// helpers run against it. Stopped when destroyed; if the test process dies first, the closed
// pipe stops it all the same.
class DesktopSession
{
public:
    struct Run
    {
        QString command;
        bool finished = false; // false: did not end in time, and was killed
        int exitCode = -1;
        QByteArray out;
        QByteArray err;

        bool ok() const { return finished && exitCode == 0; }
        // One line for a failure message: what ran, how it ended, what it said.
        QString summary() const;
    };

    explicit DesktopSession(const QString &harnessDirectory);
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // The Debian packages missing for a session on this machine, space-separated; empty when
    // there are none.
    static QString missingPackages();

    // Starts the session and waits for it; on failure, says why in `failure`.
    bool start(QString *failure);
    void stop();

    // A value the session exported (DISPLAY, DBUS_SESSION_BUS_ADDRESS, ...).
    QString value(const QString &name) const { return m_exported.value(name); }
    // The harness's start-up timings, one "what seconds" a line.
    QString timings() const;

    Run run(const QString &program, const QStringList &arguments, int timeoutMs = 15000) const;
    Run a11y(const QStringList &arguments, int timeoutMs = 25000) const;
    Run xtray(const QStringList &arguments, int timeoutMs = 10000) const;
    Run xdotool(const QStringList &arguments, int timeoutMs = 5000) const;
    // A PNG of one X window (by id, as xdotool prints it) or, without one, the whole screen.
    Run screenshot(const QString &file, const QString &window = QString()) const;

    // The shell command that runs a helper script of the harness, for a11y.py's --trigger.
    QString helperCommand(const QString &script, const QStringList &arguments) const;

private:
    QProcessEnvironment environment() const;

    QString m_harness;
    QTemporaryDir m_run; // outlives m_holder: stop_all reads its list of processes
    QProcess m_holder;
    QByteArray m_startLog;
    QProcessEnvironment m_exported;
};
