// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the headless agent as a user runs it, with the real clang-format (on the PATH):
//  - storm: 2,000 files written into a watched tree at once, and ten saves of other files while
//    they are formatted: each save's latency beyond the 1.0 s coalescing, against clang-format's
//    own time on the same file;
//  - quit: SIGTERM while 2,000 written files are formatted: the time to exit, and the files
//    formatted on disk against the fixes stored;
//  - hang: three files saved together while the tool hangs on every file: when each file's run
//    started, after the save.
// The agent is any build's `sprucer` (the first argument that is a path, default this build's),
// so an older build is measured by the same bench on the same work.
#include "AgentHome.h"
#include "BenchFiles.h"
#include "FormattingHome.h"
#include "GeneratedTrees.h"
#include "ProcessProbe.h"
#include "core/stats/CounterStore.h"
#include "support/LocalHttpResponder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

using BenchFiles::median;
using BenchFiles::readFile;
using BenchFiles::writeFile;

QTextStream out(stdout);

QByteArray unformatted(int seed)
{
    return "int   function_" + QByteArray::number(seed) +
           "( int a,int b ){int total=0;for(int i=a;i<b ;i++){total+=i;}return total ;}\n";
}

void pause(int milliseconds)
{
    QDeadlineTimer until(milliseconds);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
}

// The agent in a throw-away home (C++ watchers, the stored style). `Agent(program)` watches its
// own `project` folder; the other constructor watches the folders given, none at all included.
class Agent
{
public:
    explicit Agent(const QString &program, const QString &toolsFirst = QString())
    {
        QDir().mkpath(project());
        launch(program, {project()}, toolsFirst);
        pause(1500); // the tree is being watched
    }

    Agent(const QString &program, const QStringList &folders) { launch(program, folders, {}); }

    // Milliseconds from starting the process to its "is watching" line; -1 when it never came.
    double readyMs() const { return m_readyMs; }
    // Milliseconds since the process was last started.
    double sinceStartMs() const { return m_started.nsecsElapsed() / 1e6; }
    // Quits the agent and starts it again over the same home, as at the next login.
    double restart()
    {
        terminate();
        startProcess();
        return m_readyMs;
    }
    qint64 pid() const { return m_process.processId(); }

    ~Agent()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString project() const { return m_home.path() + QStringLiteral("/project"); }
    QString path() const { return m_home.path(); }
    const QString &stylePath() const { return m_home.stylePath; }

    // Seconds from SIGTERM to the exit; -1 when it did not exit within 10 minutes.
    double terminate()
    {
        if (m_process.state() == QProcess::NotRunning)
            return 0;
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(m_process.processId()), SIGTERM);
        return m_process.waitForFinished(600000) ? timer.elapsed() / 1000.0 : -1;
    }

    qint64 storedCount() const
    {
        const QSettings stored(AgentHome::settingsFile(m_home), QSettings::IniFormat);
        const auto counts =
            CounterStore::decode(stored.value(CounterStore::counterKey).toByteArray());
        qint64 total = 0;
        for (const CodeCounterModel &count : counts.items)
            total += count.fixedCount;
        return total;
    }

private:
    void launch(const QString &program, const QStringList &folders, const QString &toolsFirst)
    {
        AgentHome::storeWatchers(m_home, folders);
        QProcessEnvironment environment = AgentHome::environment(m_home);
        if (!toolsFirst.isEmpty())
            environment.insert(QStringLiteral("PATH"),
                               toolsFirst + u':' + environment.value(QStringLiteral("PATH")));
        m_process.setProcessEnvironment(environment);
        m_program = program;
        startProcess();
    }

    void startProcess()
    {
        QElapsedTimer &clock = m_started;
        clock.start();
        m_process.start(m_program, {QStringLiteral("--headless")});
        // Its standard output stays read (by the event loop) so the agent never blocks on it.
        QByteArray said;
        while (!said.contains("is watching") && m_process.waitForReadyRead(60000))
            said += m_process.readAllStandardOutput();
        m_readyMs = said.contains("is watching") ? clock.nsecsElapsed() / 1e6 : -1;
    }

    FormattingHome m_home;
    QProcess m_process;
    QString m_program;
    QElapsedTimer m_started;
    double m_readyMs = -1;
};

QByteArray formattedAlone(const QString &scratch, const QString &style, const QByteArray &text,
                          double *milliseconds)
{
    const QString alone = scratch + QStringLiteral("/alone.cpp");
    writeFile(alone, text);
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("clang-format"),
                      {QStringLiteral("-i"), QStringLiteral("-style=file:") + style, alone});
    *milliseconds = timer.nsecsElapsed() / 1e6;
    return readFile(alone);
}

void benchStorm(const QString &program)
{
    Agent agent(program);
    constexpr int kSaves = 10;
    std::vector<QByteArray> expected;
    std::vector<double> toolAlone(kSaves);
    for (int i = 0; i < kSaves; ++i)
        expected.push_back(
            formattedAlone(agent.path(), agent.stylePath(), unformatted(5000 + i), &toolAlone[i]));
    for (int i = 0; i < 2000; ++i)
        writeFile(agent.project() + QStringLiteral("/storm/module%1/file%2.cpp").arg(i / 50).arg(i),
                  unformatted(i));
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> savedAt(kSaves, -1), formattedAt(kSaves, -1);
    QDeadlineTimer giveUp(900000);
    int done = 0;
    while (done < kSaves && !giveUp.hasExpired()) {
        const int next =
            int(std::count_if(savedAt.begin(), savedAt.end(), [](qint64 at) { return at >= 0; }));
        if (next < kSaves && clock.elapsed() >= 2000 + 1500 * next) {
            writeFile(agent.project() + QStringLiteral("/saves/save%1.cpp").arg(next),
                      unformatted(5000 + next));
            savedAt[next] = clock.elapsed();
        }
        for (int i = 0; i < kSaves; ++i) {
            if (savedAt[i] >= 0 && formattedAt[i] < 0 &&
                readFile(agent.project() + QStringLiteral("/saves/save%1.cpp").arg(i)) ==
                    expected[i]) {
                formattedAt[i] = clock.elapsed();
                ++done;
            }
        }
        pause(10);
    }
    std::vector<double> latencies;
    for (int i = 0; i < kSaves; ++i) {
        if (formattedAt[i] >= 0)
            latencies.push_back((formattedAt[i] - savedAt[i]) / 1000.0);
    }
    // Under a storm the coalescing window is mostly open already, so a save may be delivered
    // before a full second has passed.
    out << "Saves during a 2,000-file storm (s from the save to its formatted content; "
        << latencies.size() << " of " << kSaves << " formatted within 15 min): median "
        << QString::number(median(latencies), 'f', 2) << ", worst "
        << QString::number(
               latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end()), 'f',
               2)
        << "; clang-format alone on such a file: " << QString::number(median(toolAlone), 'f', 1)
        << " ms\n"
        << Qt::flush;
}

void benchQuit(const QString &program)
{
    Agent agent(program);
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i)
        writeFile(agent.project() + QStringLiteral("/bulk/module%1/file%2.cpp").arg(i / 50).arg(i),
                  unformatted(i));
    pause(3000); // the run is well under way
    const double exitSeconds = agent.terminate();
    int formatted = 0;
    for (int i = 0; i < kFiles; ++i) {
        formatted += readFile(agent.project() +
                              QStringLiteral("/bulk/module%1/file%2.cpp").arg(i / 50).arg(i)) !=
                     unformatted(i);
    }
    out << "SIGTERM 3 s into formatting " << kFiles << " files: exit after "
        << QString::number(exitSeconds, 'f', 2) << " s; " << formatted
        << " files formatted on disk, " << agent.storedCount() << " fixes stored\n"
        << Qt::flush;
}

// A clang-format in `tools` that notes when each run starts in `starts`, then runs `then`.
void writeStandInTool(const QTemporaryDir &tools, const QString &starts, const QByteArray &then)
{
    writeFile(tools.filePath(QStringLiteral("clang-format")),
              "#!/bin/sh\necho \"$(date +%s.%N)\" >> '" + starts.toUtf8() + "'\n" + then + "\n");
    QFile::setPermissions(tools.filePath(QStringLiteral("clang-format")),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}

QList<double> startTimes(const QString &starts)
{
    QList<double> times;
    for (const QString &line : QString::fromUtf8(readFile(starts)).split(u'\n', Qt::SkipEmptyParts))
        times.append(line.toDouble());
    return times;
}

double secondsNow()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

// Ten saves, each alone: from the save to the start of its tool run, beyond the 1.0 s quiet
// period. What is left is reading the file, its private copy and starting the tool.
void benchLatency(const QString &program)
{
    QTemporaryDir tools;
    const QString starts = tools.filePath(QStringLiteral("starts"));
    writeStandInTool(tools, starts, "exit 0");
    Agent agent(program, tools.path());
    std::vector<double> beyond;
    for (int i = 0; i < 10; ++i) {
        const double savedAt = secondsNow();
        writeFile(agent.project() + QStringLiteral("/latency%1.cpp").arg(i), unformatted(i));
        QDeadlineTimer giveUp(10000);
        while (startTimes(starts).size() <= i && !giveUp.hasExpired())
            pause(5);
        if (startTimes(starts).size() > i)
            beyond.push_back((startTimes(starts).at(i) - savedAt) * 1000 - 1000);
        pause(300);
    }
    std::sort(beyond.begin(), beyond.end());
    out << "A save to its tool run, beyond the 1.0 s quiet period (ms, " << beyond.size()
        << " saves): median " << QString::number(median(beyond), 'f', 1) << ", range "
        << QString::number(beyond.empty() ? 0 : beyond.front(), 'f', 1) << " to "
        << QString::number(beyond.empty() ? 0 : beyond.back(), 'f', 1) << "\n"
        << Qt::flush;
}

void benchHang(const QString &program)
{
    QTemporaryDir tools;
    const QString starts = tools.filePath(QStringLiteral("starts"));
    writeStandInTool(tools, starts, "exec sleep 600");
    Agent agent(program, tools.path());
    const double savedAt = secondsNow();
    for (int i = 0; i < 3; ++i)
        writeFile(agent.project() + QStringLiteral("/hang%1.cpp").arg(i), unformatted(i));
    QDeadlineTimer giveUp(400000);
    while (startTimes(starts).size() < 3 && !giveUp.hasExpired())
        pause(200);
    out << "Three files saved together, the tool hanging on each: runs started after";
    for (const double start : startTimes(starts))
        out << ' ' << QString::number(start - savedAt, 'f', 1) << " s";
    out << '\n' << Qt::flush;
}

// What a process costs at rest.
struct Rest
{
    ProcessProbe::Activity activity;
    long rssKb = 0;
    long anonKb = 0;
    long watches = 0;
    QString busiest; // the threads that woke, for finding who
};

// Waits until the process has its watches and has used no CPU for three seconds, then lets
// idle pool threads retire (they wait 30 s for work), then watches it for `seconds`.
Rest measureRest(qint64 pid, int seconds)
{
    using namespace ProcessProbe;
    long watches = -1;
    ProcessProbe::Activity last = activity(pid);
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 3000 || watches <= 0) {
        pause(250);
        const long nowWatches = watchCount(pid);
        const ProcessProbe::Activity now = activity(pid);
        if (now.cpuTicks != last.cpuTicks || nowWatches != watches)
            quiet.restart();
        last = now;
        watches = nowWatches;
    }
    pause(31000);
    const QMap<QString, long> before = threadSwitches(pid);
    const ProcessProbe::Activity start = activity(pid);
    pause(seconds * 1000);
    Rest rest{
        activity(pid).since(start), rssKb(pid), statusKb(pid, "RssAnon"), watchCount(pid), {}};
    for (const auto &[thread, switches] : threadSwitches(pid).asKeyValueRange()) {
        if (switches != before.value(thread))
            rest.busiest +=
                QStringLiteral(" %1 %2,").arg(thread).arg(switches - before.value(thread));
    }
    return rest;
}

QString restLine(const char *who, const Rest &rest, int seconds)
{
    return QStringLiteral("  %1 %2 context switches, %3 ms CPU in %4 s; %5 MB resident "
                          "(%6 MB anonymous); %7 watches%8\n")
        .arg(QString::fromLatin1(who))
        .arg(rest.activity.switches)
        .arg(rest.activity.cpuTicks * ProcessProbe::msPerTick(), 0, 'f', 0)
        .arg(seconds)
        .arg(rest.rssKb / 1024.0, 0, 'f', 1)
        .arg(rest.anonKb / 1024.0, 0, 'f', 1)
        .arg(rest.watches)
        .arg(rest.busiest.isEmpty() ? QString() : QStringLiteral("; woke:") + rest.busiest);
}

// The agent with one watcher on a generated tree, settled, against inotifywait on the tree.
void benchRest(const QString &program, const QString &treesFolder, int seconds)
{
    const auto tree = GeneratedTrees::generated(QStringLiteral(SPRUCER_TREE_GENERATOR), treesFolder,
                                                QStringLiteral("large"));
    if (!tree || !GeneratedTrees::ensureWatchLimit(GeneratedTrees::watchesForTwo(*tree)))
        return;
    Rest ours;
    {
        Agent agent(program, QStringList{tree->path});
        ours = measureRest(agent.pid(), seconds);
    }
    out << "At rest on the large tree (" << tree->dirs << " folders, " << tree->files
        << " files), after settling:\n"
        << restLine("agent      ", ours, seconds) << Qt::flush;

    const QString peer = QStandardPaths::findExecutable(QStringLiteral("inotifywait"));
    if (peer.isEmpty()) {
        out << "  inotifywait is MISSING (apt-get install -y inotify-tools): no ratio\n";
        return;
    }
    QProcess inotifywait;
    inotifywait.start(peer, {QStringLiteral("-r"), QStringLiteral("-m"), tree->path});
    const Rest theirs = measureRest(inotifywait.processId(), seconds);
    inotifywait.kill();
    inotifywait.waitForFinished();
    out << restLine("inotifywait", theirs, seconds) << "  resident memory ours/inotifywait "
        << QString::number(double(ours.rssKb) / double(theirs.rssKb), 'f', 2) << "\n"
        << Qt::flush;
}

// The newest watch of the process's inotify instances. The kernel lists an instance's newest
// watch first and numbers them from 1 up, so the head of its fdinfo tells how many it placed,
// cheaply enough to ask often while 50 000 are placed.
long newestWatch(qint64 pid)
{
    long newest = 0;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::Files | QDir::System)) {
        char target[256] = {};
        const QByteArray link = QFile::encodeName(fds + u'/' + fd);
        if (::readlink(link.constData(), target, sizeof target - 1) <= 0 ||
            !QByteArray(target).contains("inotify"))
            continue;
        QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(fd));
        if (!info.open(QIODevice::ReadOnly))
            continue;
        const QByteArray head = info.read(4096);
        const qsizetype at = head.indexOf("inotify wd:");
        if (at >= 0)
            newest = std::max(newest, head.mid(at + 11).split(' ').first().toLong(nullptr, 16));
    }
    return newest;
}

// Polls until the process placed `watches` watches in one instance; -1 after 5 minutes.
double msUntilWatches(qint64 pid, long watches, const std::function<double()> &sinceStart)
{
    while (newestWatch(pid) < watches) {
        if (sinceStart() > 300000)
            return -1;
        QThread::msleep(5);
    }
    return sinceStart();
}

// Waits until the process's watches stop growing for a second; returns their count.
long settledWatches(qint64 pid)
{
    long last = -1;
    for (long now = newestWatch(pid); now != last || now == 0; now = newestWatch(pid)) {
        last = now;
        pause(1000);
    }
    return last;
}

// The agent with one watcher on the large tree, from its start to its last watch placed, against
// `inotifywait -r` from its start to the same number of watches; interleaved.
void benchWatch(const QString &program, const QString &treesFolder)
{
    const auto tree = GeneratedTrees::generated(QStringLiteral(SPRUCER_TREE_GENERATOR), treesFolder,
                                                QStringLiteral("large"));
    const QString peer = QStandardPaths::findExecutable(QStringLiteral("inotifywait"));
    if (!tree || !GeneratedTrees::ensureWatchLimit(GeneratedTrees::watchesForTwo(*tree)))
        return;
    if (peer.isEmpty()) {
        out << "inotifywait is MISSING (apt-get install -y inotify-tools)\n";
        return;
    }
    Agent agent(program, QStringList{tree->path}); // stores the bookmark, warms the cache
    const long watches = settledWatches(agent.pid());
    agent.terminate();
    std::vector<double> ours, theirs;
    for (int round = 0; round < 7; ++round) {
        const auto runOurs = [&] {
            agent.restart();
            ours.push_back(
                msUntilWatches(agent.pid(), watches, [&] { return agent.sinceStartMs(); }));
            agent.terminate();
        };
        const auto runTheirs = [&] {
            QProcess inotifywait;
            QElapsedTimer clock;
            clock.start();
            inotifywait.start(peer, {QStringLiteral("-r"), QStringLiteral("-m"), tree->path});
            inotifywait.waitForStarted();
            theirs.push_back(msUntilWatches(inotifywait.processId(), watches,
                                            [&] { return clock.nsecsElapsed() / 1e6; }));
            inotifywait.kill();
            inotifywait.waitForFinished();
        };
        if (round % 2) {
            runTheirs();
            runOurs();
        } else {
            runOurs();
            runTheirs();
        }
    }
    const auto text = [](const std::vector<double> &values) {
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        return QStringLiteral("%1 ms (%2–%3)")
            .arg(median(values), 0, 'f', 0)
            .arg(*low, 0, 'f', 0)
            .arg(*high, 0, 'f', 0);
    };
    out << "Start to the last of " << watches << " watches on the large tree (" << tree->dirs
        << " folders), median of 7: agent " << text(ours) << ", inotifywait -r " << text(theirs)
        << ", agent/inotifywait " << QString::number(median(ours) / median(theirs), 'f', 2) << "\n"
        << Qt::flush;
}

// From starting the agent to its "is watching" line, with 0, 1, 10 and 20 small watchers; each
// home was started once before, so its bookmarks are stored, as they are after the first run.
void benchStart(const QString &program)
{
    const QList<int> counts{0, 1, 10, 20};
    QTemporaryDir projects;
    QStringList folders;
    for (int i = 0; i < counts.last(); ++i) {
        folders << projects.filePath(QStringLiteral("project%1").arg(i));
        for (int file = 0; file < 3; ++file)
            writeFile(folders.last() + QStringLiteral("/src/file%1.cpp").arg(file),
                      unformatted(file));
    }
    std::vector<std::unique_ptr<Agent>> agents;
    for (int count : counts) {
        agents.push_back(std::make_unique<Agent>(program, folders.mid(0, count)));
        agents.back()->terminate();
    }
    QMap<int, std::vector<double>> times;
    for (int round = 0; round < 7; ++round) {
        for (std::size_t i = 0; i < agents.size(); ++i) {
            times[counts[qsizetype(i)]].push_back(agents[i]->restart());
            agents[i]->terminate();
        }
    }
    out << "Start to ready (median of 7, ms):";
    for (int count : counts)
        out << ' ' << count << " watchers " << QString::number(median(times[count]), 'f', 1) << ';';
    out << " 20 watchers / 1: " << QString::number(median(times[20]) / median(times[1]), 'f', 2)
        << "\n"
        << Qt::flush;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (FormattingHome::clangFormat().isEmpty())
        return 1;
    QString program = QStringLiteral(SPRUCER_EXECUTABLE);
    QString trees = QDir::tempPath() + QStringLiteral("/sprucer-bench-trees");
    QStringList what;
    for (const QString &argument : app.arguments().mid(1)) {
        if (argument.startsWith(QStringLiteral("trees=")))
            trees = argument.mid(6);
        else if (argument.contains(u'/'))
            program = argument;
        else
            what << argument;
    }
    out << "Agent: " << program << '\n';
    // The agent's analytics go to this process, which takes them all, so that at rest it has
    // nothing left to send, as on a machine that is online.
    const QUrl analytics(QStringLiteral(SPRUCER_AGENT_ANALYTICS_URL));
    std::optional<LocalHttpResponder> responder;
    if (analytics.host() == QStringLiteral("127.0.0.1"))
        responder.emplace(quint16(analytics.port(80)));
    else
        out << "The agent sends its analytics to " << analytics.toString()
            << ": at rest it may still be retrying them\n";
    if (what.isEmpty() || what.contains(QStringLiteral("storm")))
        benchStorm(program);
    if (what.isEmpty() || what.contains(QStringLiteral("quit")))
        benchQuit(program);
    if (what.isEmpty() || what.contains(QStringLiteral("hang")))
        benchHang(program);
    if (what.isEmpty() || what.contains(QStringLiteral("latency")))
        benchLatency(program);
    if (what.isEmpty() || what.contains(QStringLiteral("start")))
        benchStart(program);
    if (what.isEmpty() || what.contains(QStringLiteral("watch")))
        benchWatch(program, trees);
    if (what.isEmpty() || what.contains(QStringLiteral("rest")))
        benchRest(program, trees, 30);
    return 0;
}
