// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ToolLimits.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

class ToolStop;

// One run of an outside tool: started without a shell, both output channels captured, and
// killed (with anything it started) when it outlives its time. Blocks the calling thread, which
// must not be the main thread in the application.
struct ToolRun
{
    enum class Outcome
    {
        finished,
        failedToStart,
        timedOut,
        stopped,            // the program is quitting
        outOfMemory,        // it failed for want of memory under its limit
        outOfProcessorTime, // it was killed when its processor time ran out
    };

    Outcome outcome = Outcome::finished;
    QByteArray standardOutput;
    QByteArray standardError;
    // How a finished run ended, for judges that cannot go by the text alone. For a crash, the
    // signal that ended it (Qt reports that as the exit code on Unix).
    int exitCode = 0;
    bool crashed = false;
    // Why the tool did not finish, for the log; empty when it did.
    QString errorDescription;

    // `stop`, when given, may refuse the run or cut it short. Without a working directory the
    // tool inherits ours.
    static ToolRun execute(const QString &program, const QStringList &arguments,
                           std::chrono::milliseconds timeout, ToolStop *stop = nullptr,
                           const QString &workingDirectory = {}, const ToolLimits &limits = {});
};
