// SPDX-License-Identifier: GPL-3.0-or-later
// Times the watch set-up of a directory monitor on generated trees against inotifywait, with the
// memory each needs for it, then measures both at rest. Usage: see README.md.
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "GeneratedTrees.h"
#include "ProcessProbe.h"
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
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

using GeneratedTrees::Tree;
using ProcessProbe::Activity;
using ProcessProbe::activity;
using ProcessProbe::rssKb;
using ProcessProbe::watchCount;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString spread(const std::vector<double> &values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QStringLiteral("%1 (%2–%3)")
        .arg(median(values), 0, 'f', 1)
        .arg(*low, 0, 'f', 1)
        .arg(*high, 0, 'f', 1);
}

struct Sample
{
    double ms = 0;
    long rssGrowthKb = 0;
    long rssKb = 0;
    long watches = 0;
};

// A running peer or child that has finished its set-up and waits.
struct Watcher
{
    std::unique_ptr<QProcess> process;
    Sample sample;
};

class NullDelegate : public DirectoryMonitorProtocol
{
public:
    void didObserveChanges(DirectoryMonitor *, const QStringList &) override {}
};

// Child mode: watch one tree, report, then sit in an idle event loop until stdin closes.
int runChild(const QString &tree)
{
    SerialQueue queue(QStringLiteral("com.velmora.sprucer.fsmonitor"));
    // Bookmarks are not kept here: the folder is given, not restored.
    const QTemporaryDir scratch;
    UserDefaults settings(scratch.filePath(QStringLiteral("Sprucer.conf")));
    const SecurityScopedResourceManager access(settings);
    const auto delegate = std::make_shared<NullDelegate>();
    DirectoryMonitor monitor(QUrl::fromLocalFile(tree),
                             {&queue, Platform::services().treeEventSources, &access, {}},
                             delegate);
    const long before = rssKb(QCoreApplication::applicationPid());
    QElapsedTimer timer;
    timer.start();
    if (monitor.startMonitoring()) {
        BenchFiles::printLine(QStringLiteral("failed"));
        return 1;
    }
    queue.sync([] {}); // the walk of the tree runs on the queue
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const long after = rssKb(QCoreApplication::applicationPid());
    BenchFiles::printLine(QStringLiteral("ready %1 %2 %3 %4")
                              .arg(ms, 0, 'f', 3)
                              .arg(after - before)
                              .arg(after)
                              .arg(watchCount(QCoreApplication::applicationPid())));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0 || byte == 'q')
            QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

std::optional<Watcher> startOurs(const QString &tree, const QString &cacheHome)
{
    Watcher watcher{std::make_unique<QProcess>(), {}};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome); // not the user's log
    watcher.process->setProcessEnvironment(environment);
    watcher.process->start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--child"), tree});
    if (!watcher.process->waitForStarted())
        return std::nullopt;
    while (!watcher.process->canReadLine()) {
        if (!watcher.process->waitForReadyRead(600000))
            return std::nullopt;
    }
    const QList<QByteArray> fields = watcher.process->readLine().trimmed().split(' ');
    if (fields.size() != 5 || fields[0] != "ready")
        return std::nullopt;
    watcher.sample = {fields[1].toDouble(), fields[2].toLong(), fields[3].toLong(),
                      fields[4].toLong()};
    return watcher;
}

// From the start of the process to "Watches established.": its whole set-up.
std::optional<Watcher> startPeer(const QString &peer, const QString &tree)
{
    Watcher watcher{std::make_unique<QProcess>(), {}};
    QProcess &process = *watcher.process;
    process.setReadChannel(QProcess::StandardError); // where it reports its progress
    QElapsedTimer timer;
    timer.start();
    process.start(peer, {QStringLiteral("-r"), QStringLiteral("-m"), tree});
    QByteArray messages;
    while (!messages.contains("Watches established.")) {
        if (!process.waitForReadyRead(300000))
            return std::nullopt;
        messages += process.readAllStandardError();
    }
    watcher.sample.ms = double(timer.nsecsElapsed()) / 1e6;
    watcher.sample.rssKb = rssKb(process.processId());
    watcher.sample.watches = watchCount(process.processId());
    return watcher;
}

void finish(Watcher &watcher)
{
    watcher.process->write("q");
    watcher.process->closeWriteChannel();
    if (!watcher.process->waitForFinished(5000)) {
        watcher.process->kill();
        watcher.process->waitForFinished();
    }
}

void measureIdle(const QString &label, Watcher &watcher, int seconds)
{
    const qint64 pid = watcher.process->processId();
    // Let it reach its wait first: the switch into the first wait is not idle work.
    QThread::msleep(500);
    const Activity before = activity(pid);
    QThread::sleep(static_cast<unsigned long>(seconds));
    const Activity after = activity(pid);
    BenchFiles::printLine(
        QStringLiteral("  %1: %2 CPU ticks, %3 context switches in %4 s (%5 threads)")
            .arg(label, -12)
            .arg(after.cpuTicks - before.cpuTicks)
            .arg(after.switches - before.switches)
            .arg(seconds)
            .arg(after.threads));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watch set-up time, memory and idle cost against inotifywait."));
    parser.addHelpOption();
    const QCommandLineOption childOption(QStringLiteral("child"),
                                         QStringLiteral("Internal: watch DIR and wait."),
                                         QStringLiteral("DIR"));
    const QCommandLineOption presetOption = BenchOptions::preset(QStringLiteral("medium,large"));
    const QCommandLineOption treesOption(
        QStringLiteral("trees"),
        QStringLiteral("Folder for the generated trees, reused when present (default: a "
                       "temporary folder)."),
        QStringLiteral("DIR"));
    const QCommandLineOption repsOption = BenchOptions::repetitions(7);
    const QCommandLineOption idleOption(QStringLiteral("idle"),
                                        QStringLiteral("Seconds at rest measured (default 5)."),
                                        QStringLiteral("S"), QStringLiteral("5"));
    const QCommandLineOption generatorOption = BenchOptions::generator();
    const QCommandLineOption peerOption = BenchOptions::peer(QStringLiteral("inotifywait"));
    parser.addOptions({childOption, presetOption, treesOption, repsOption, idleOption,
                       generatorOption, peerOption});
    parser.process(app);

    if (parser.isSet(childOption))
        return runChild(parser.value(childOption));

    const int reps = std::max(1, parser.value(repsOption).toInt());
    const int idleSeconds = std::max(1, parser.value(idleOption).toInt());
    QString peer = parser.isSet(peerOption)
                       ? parser.value(peerOption)
                       : QStandardPaths::findExecutable(QStringLiteral("inotifywait"));
    if (peer.isEmpty()) {
        BenchFiles::printLine(
            QStringLiteral("inotifywait is MISSING: install inotify-tools "
                           "(apt-get install -y inotify-tools) to compare. Measuring ours "
                           "alone."));
    }

    QTemporaryDir scratch;
    const QString treesFolder =
        parser.isSet(treesOption) ? parser.value(treesOption) : scratch.path();
    QDir().mkpath(treesFolder);
    const QString cacheHome = scratch.path() + QStringLiteral("/cache");
    const QString emptyTree = scratch.path() + QStringLiteral("/empty");
    QDir().mkpath(emptyTree);

    // inotifywait's own start-up and its memory with nothing to watch, taken off its figures.
    double peerStartMs = 0;
    long peerBaseKb = 0;
    if (!peer.isEmpty()) {
        std::vector<double> times;
        std::vector<double> sizes;
        for (int i = 0; i < 5; ++i) {
            if (auto empty = startPeer(peer, emptyTree)) {
                times.push_back(empty->sample.ms);
                sizes.push_back(double(empty->sample.rssKb));
                finish(*empty);
            }
        }
        peerStartMs = median(times);
        peerBaseKb = long(median(sizes));
        BenchFiles::printLine(
            QStringLiteral("inotifywait on an empty folder: %1 ms, %2 kB resident")
                .arg(peerStartMs, 0, 'f', 1)
                .arg(peerBaseKb));
    }

    std::optional<Tree> idleTree;
    for (const QString &preset : parser.value(presetOption).split(u',', Qt::SkipEmptyParts)) {
        const auto tree =
            GeneratedTrees::generated(parser.value(generatorOption), treesFolder, preset);
        if (!tree) {
            BenchFiles::printLine(QStringLiteral("could not generate the %1 tree").arg(preset));
            return 1;
        }
        if (!GeneratedTrees::ensureWatchLimit(tree->dirs + tree->dirs / 5 + 1000))
            continue;
        if (!idleTree)
            idleTree = tree;

        // One untimed run of each warms the directory cache for both.
        if (auto warm = startOurs(tree->path, cacheHome))
            finish(*warm);
        if (!peer.isEmpty()) {
            if (auto warm = startPeer(peer, tree->path))
                finish(*warm);
        }

        std::vector<double> ourMs, ourKb, peerMs, peerKb;
        long ourWatches = 0, peerWatches = 0;
        for (int rep = 0; rep < reps; ++rep) {
            // Alternate which goes first, so neither always meets a cache the other just warmed.
            for (int turn = 0; turn < 2; ++turn) {
                const bool oursNow = (rep + turn) % 2 == 0;
                if (oursNow) {
                    auto ours = startOurs(tree->path, cacheHome);
                    if (!ours) {
                        BenchFiles::printLine(
                            QStringLiteral("our monitor did not start on %1").arg(tree->path));
                        return 1;
                    }
                    ourMs.push_back(ours->sample.ms);
                    ourKb.push_back(double(ours->sample.rssGrowthKb));
                    ourWatches = ours->sample.watches;
                    finish(*ours);
                } else if (!peer.isEmpty()) {
                    auto theirs = startPeer(peer, tree->path);
                    if (!theirs) {
                        BenchFiles::printLine(
                            QStringLiteral("inotifywait did not start on %1").arg(tree->path));
                        return 1;
                    }
                    peerMs.push_back(theirs->sample.ms - peerStartMs);
                    peerKb.push_back(double(theirs->sample.rssKb - peerBaseKb));
                    peerWatches = theirs->sample.watches;
                    finish(*theirs);
                }
            }
        }

        BenchFiles::printLine(
            QStringLiteral("\n%1: %2 directories, %3 files, %4 runs each (median (min–max))")
                .arg(tree->name)
                .arg(tree->dirs)
                .arg(tree->files)
                .arg(reps));
        const auto printSide = [&](const char *label, const std::vector<double> &ms,
                                   const std::vector<double> &kb, qint64 watches) {
            BenchFiles::printLine(QStringLiteral("  %1 set-up %2 ms = %3 ms per 1,000 directories; "
                                                 "resident growth %4 kB; %5 watches")
                                      .arg(QString::fromLatin1(label))
                                      .arg(spread(ms))
                                      .arg(median(ms) * 1000 / tree->dirs, 0, 'f', 1)
                                      .arg(spread(kb))
                                      .arg(watches));
        };
        printSide("ours       ", ourMs, ourKb, ourWatches);
        if (!peerMs.empty()) {
            printSide("inotifywait", peerMs, peerKb, peerWatches);
            BenchFiles::printLine(QStringLiteral("  ratio ours/inotifywait: time %1, memory %2")
                                      .arg(median(ourMs) / median(peerMs), 0, 'f', 2)
                                      .arg(median(ourKb) / median(peerKb), 0, 'f', 2));
        }
    }

    if (idleTree) {
        BenchFiles::printLine(
            QStringLiteral("\nAt rest on the %1 tree, after set-up:").arg(idleTree->name));
        if (auto ours = startOurs(idleTree->path, cacheHome)) {
            measureIdle(QStringLiteral("ours"), *ours, idleSeconds);
            finish(*ours);
        }
        if (!peer.isEmpty()) {
            if (auto theirs = startPeer(peer, idleTree->path)) {
                measureIdle(QStringLiteral("inotifywait"), *theirs, idleSeconds);
                finish(*theirs);
            }
        }
    }
    return 0;
}
