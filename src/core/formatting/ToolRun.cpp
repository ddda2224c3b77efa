// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolRun.h"

#include "core/formatting/ToolStop.h"

#include <QProcess>
#include <QScopeGuard>

#include <algorithm>
#include <climits>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <sys/resource.h>
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

#if defined(Q_OS_UNIX)
// Seconds past the processor-time limit before SIGKILL follows SIGXCPU, for a tool that
// ignores the signal.
constexpr rlim_t kProcessorGraceSeconds = 5;

// The resource limits of the child, worked out before the fork: only setrlimit runs between
// fork and exec.
struct ChildLimits
{
    bool boundsMemory = false;
    int memoryResource = RLIMIT_AS;
    rlimit memory{};
    bool boundsProcessor = false;
    rlimit processor{};
};

// Our own hard limit stays the ceiling: the child could not raise it anyway.
rlimit within(int resource, rlim_t soft, rlim_t hard)
{
    rlimit current{};
    if (::getrlimit(resource, &current) != 0)
        current.rlim_max = RLIM_INFINITY;
    if (current.rlim_max != RLIM_INFINITY) {
        soft = std::min(soft, current.rlim_max);
        hard = std::min(hard, current.rlim_max);
    }
    return rlimit{soft, hard};
}

ChildLimits childLimits(const ToolLimits &limits)
{
    ChildLimits child;
    if (limits.memoryBytes > 0) {
        child.boundsMemory = true;
        child.memoryResource =
            limits.memoryKind == ToolLimits::Memory::data ? RLIMIT_DATA : RLIMIT_AS;
        const auto bytes = rlim_t(limits.memoryBytes);
        child.memory = within(child.memoryResource, bytes, bytes);
    }
    if (limits.processorTime.count() > 0) {
        child.boundsProcessor = true;
        const auto seconds = rlim_t(limits.processorTime.count());
        child.processor = within(RLIMIT_CPU, seconds, seconds + kProcessorGraceSeconds);
    }
    return child;
}

void applyInChild(const ChildLimits &child)
{
    ::setpgid(0, 0);
    if (child.boundsMemory)
        ::setrlimit(child.memoryResource, &child.memory);
    if (child.boundsProcessor)
        ::setrlimit(RLIMIT_CPU, &child.processor);
    // A tool stopped at a limit must not leave gigabytes of core dump in the user's folder.
    if (child.boundsMemory || child.boundsProcessor) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
    }
}
#endif

bool failed(const ToolRun &run)
{
    return run.crashed || run.exitCode != 0;
}

// What tools and their runtimes say when an allocation fails.
bool reportsNoMemory(const QByteArray &standardError)
{
    static const QByteArrayList phrases{
        "out of memory", "bad_alloc",        "cannot allocate memory", "memoryerror",
        "outofmemory",   "memory exhausted", "failed to allocate",     "insufficient memory"};
    const QByteArray text = standardError.toLower();
    return std::any_of(phrases.cbegin(), phrases.cend(),
                       [&text](const QByteArray &phrase) { return text.contains(phrase); });
}

// A finished run that ran out of what its limits allow; `finished` when it did not.
ToolRun::Outcome limitReached(const ToolRun &run, const ToolLimits &limits)
{
#if defined(Q_OS_UNIX)
    // SIGKILL comes from the hard limit when the tool ignored SIGXCPU.
    if (limits.processorTime.count() > 0 && run.crashed &&
        (run.exitCode == SIGXCPU || run.exitCode == SIGKILL))
        return ToolRun::Outcome::outOfProcessorTime;
#endif
    if (limits.memoryBytes > 0 && failed(run) && reportsNoMemory(run.standardError))
        return ToolRun::Outcome::outOfMemory;
    return ToolRun::Outcome::finished;
}

QString limitDescription(ToolRun::Outcome outcome, const ToolLimits &limits)
{
    if (outcome == ToolRun::Outcome::outOfMemory)
        return QStringLiteral("The tool needed more than %1.")
            .arg(ToolLimits::sizeText(limits.memoryBytes));
    return QStringLiteral("The tool used more than %1 s of processor time.")
        .arg(limits.processorTime.count());
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
                         const QString &workingDirectory, const ToolLimits &limits)
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
    process.setChildProcessModifier([child = childLimits(limits)] { applyInChild(child); });
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
    run.outcome = limitReached(run, limits);
    if (run.outcome != Outcome::finished)
        run.errorDescription = limitDescription(run.outcome, limits);
    return run;
}
