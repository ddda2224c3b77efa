// SPDX-License-Identifier: GPL-3.0-or-later
// The longest stall of the main thread while "Run Fixers" starts and walks a large generated
// tree: a 10 ms timer on the main thread notes every late tick. Usage: see README.md.
#include "BenchOptions.h"
#include "GeneratedTrees.h"
#include "core/support/Console.h"
#include "core/support/SerialQueue.h"
#include "core/support/UserDefaults.h"
#include "core/watching/DirectoryMonitor.h"
#include "core/watching/DirectoryMonitorProtocol.h"
#include "core/watching/SecurityScopedResourceManager.h"
#include "platform/Platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

using GeneratedTrees::say;

// Notes how many files the run reported, on whatever thread it reports.
class RunDelegate : public DirectoryMonitorProtocol
{
public:
    void didObserveChanges(DirectoryMonitor *, const QStringList &) override {}
    void didRescan(DirectoryMonitor *, const QStringList &paths) override
    {
        files = paths.size();
        done = true;
    }

    std::atomic<qsizetype> files = 0;
    std::atomic_bool done = false;
};

struct Round
{
    double callMs = 0;     // the rescan call itself
    double reportedMs = 0; // from the call to the walk's report
    double stallMs = 0;    // the longest time the main thread's timer was late
    qsizetype files = 0;
};

// Runs the event loop with a 10 ms timer until the run reported, the watch queue is idle (a
// restarted stream walks the tree there) and 100 ms more.
Round measure(DirectoryMonitor &monitor, RunDelegate &delegate, SerialQueue &queue)
{
    constexpr int kTickMs = 10;
    Round round;
    delegate.done = false;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTickNs = 0;
    qint64 reportedNs = -1;
    qint64 idleNs = -1;
    std::atomic_bool idle = false;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        round.stallMs = std::max(round.stallMs, (now - lastTickNs) / 1e6 - kTickMs);
        lastTickNs = now;
        if (reportedNs < 0 && delegate.done) {
            reportedNs = now;
            queue.post([&idle] { idle = true; });
        }
        if (idleNs < 0 && idle)
            idleNs = now;
        if (idleNs >= 0 && now - idleNs > 100'000'000)
            loop.quit();
    });
    QTimer::singleShot(50, &loop, [&] {
        QElapsedTimer call;
        call.start();
        monitor.rescan();
        round.callMs = call.nsecsElapsed() / 1e6;
    });
    clock.start();
    ticks.start(kTickMs);
    loop.exec();
    // The call's start is 50 ms in; the report is seen on a tick, within 10 ms of its arrival.
    round.reportedMs = (reportedNs - 50'000'000) / 1e6;
    round.files = delegate.files;
    return round;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString spread(const std::vector<double> &values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QStringLiteral("%1 ms (%2–%3)")
        .arg(median(values), 0, 'f', 1)
        .arg(*low, 0, 'f', 1)
        .arg(*high, 0, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The main thread's longest stall while Run Fixers walks a tree."));
    parser.addHelpOption();
    const QCommandLineOption presetOption = BenchOptions::preset(QStringLiteral("large"));
    const QCommandLineOption treesOption(
        QStringLiteral("trees"), QStringLiteral("Where the generated trees are kept."),
        QStringLiteral("DIR"), QDir::tempPath() + QStringLiteral("/sprucer-bench-trees"));
    const QCommandLineOption repsOption = BenchOptions::repetitions(7);
    const QCommandLineOption generatorOption = BenchOptions::generator();
    parser.addOptions({presetOption, treesOption, repsOption, generatorOption});
    parser.process(app);

    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.path().toUtf8()); // not the user's log
    Console::setSink([](const QString &) {});
    const auto tree = GeneratedTrees::generated(
        parser.value(generatorOption), parser.value(treesOption), parser.value(presetOption));
    if (!tree || !GeneratedTrees::ensureWatchLimit(GeneratedTrees::watchesForTwo(*tree)))
        return 1;

    SerialQueue queue(QStringLiteral("com.velmora.sprucer.fsmonitor"));
    UserDefaults settings(home.filePath(QStringLiteral("Sprucer.conf")));
    const SecurityScopedResourceManager access(settings);
    const auto delegate = std::make_shared<RunDelegate>();
    DirectoryMonitor monitor(QUrl::fromLocalFile(tree->path),
                             {&queue, Platform::services().treeEventSources, &access, {}},
                             delegate);
    if (monitor.startMonitoring()) {
        say(QStringLiteral("cannot watch %1").arg(tree->path));
        return 1;
    }
    queue.sync([] {});                  // the tree is watched, as a running watcher's is
    measure(monitor, *delegate, queue); // warms the directory cache

    std::vector<double> stalls, calls, reports;
    qsizetype files = 0;
    for (int i = 0; i < std::max(1, parser.value(repsOption).toInt()); ++i) {
        const Round round = measure(monitor, *delegate, queue);
        stalls.push_back(round.stallMs);
        calls.push_back(round.callMs);
        reports.push_back(round.reportedMs);
        files = round.files;
    }
    say(QStringLiteral("Run Fixers on the %1 tree (%2 folders, %3 files reported), %4 runs:")
            .arg(tree->name)
            .arg(tree->dirs)
            .arg(files)
            .arg(stalls.size()));
    say(QStringLiteral("  longest main-thread stall: %1").arg(spread(stalls)));
    say(QStringLiteral("  the call itself:           %1").arg(spread(calls)));
    say(QStringLiteral("  call to the walk's report: %1").arg(spread(reports)));
    return 0;
}
