// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolRun.h"

#include "core/formatting/ToolStop.h"

#include <QProcess>
#include <QScopeGuard>

#include <algorithm>
#include <climits>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

constexpr int kReapMilliseconds = 5000;

QString timeoutDescription(std::chrono::milliseconds timeout)
{
    const double seconds = double(timeout.count()) / 1000.0;
    return QStringLiteral("The tool did not finish within %1 s and was stopped.")
        .arg(QString::number(seconds));
}

void killTree(QProcess &process)
{
#if defined(Q_OS_UNIX)
    // The tool leads its own process group, so a wrapper script's children go with it instead
    // of living on with our pipes open.
    if (const qint64 pid = process.processId(); pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
#endif
    process.kill();
    process.waitForFinished(kReapMilliseconds);
}

ToolRun &stopped(ToolRun &run)
{
    run.outcome = ToolRun::Outcome::stopped;
    run.errorDescription = QStringLiteral("Sprucer is quitting.");
    return run;
}

} // namespace

ToolRun ToolRun::execute(const QString &program, const QStringList &arguments,
                         std::chrono::milliseconds timeout, ToolStop *stop,
                         const QString &workingDirectory)
{
    ToolRun run;
    if (stop && stop->refusesNewRuns())
        return stopped(run);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // A tool that reads its input when it misses an argument must not wait for ours.
    process.setStandardInputFile(QProcess::nullDevice());
#if defined(Q_OS_UNIX)
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    process.start();
    if (!process.waitForStarted(-1)) {
        run.outcome = Outcome::failedToStart;
        run.errorDescription = process.errorString();
        return run;
    }
    const qint64 group = process.processId();
    if (stop && !stop->enlist(group)) {
        killTree(process);
        return stopped(run);
    }
    const auto discharge = qScopeGuard([&] {
        if (stop)
            stop->discharge(group);
    });
    // Waiting reads both channels as they fill, so a talkative tool never blocks on a pipe.
    const int waitMilliseconds = int(std::min<qint64>(timeout.count(), INT_MAX));
    const bool finished =
        process.waitForFinished(waitMilliseconds) || process.state() == QProcess::NotRunning;
    if (!finished) {
        killTree(process);
        run.outcome = Outcome::timedOut;
        run.errorDescription = timeoutDescription(timeout);
        return run;
    }
    if (stop && stop->stopsRunning() && process.exitStatus() == QProcess::CrashExit)
        return stopped(run);
    run.standardOutput = process.readAllStandardOutput();
    run.standardError = process.readAllStandardError();
    run.exitCode = process.exitCode();
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    return run;
}
