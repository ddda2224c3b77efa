// SPDX-License-Identifier: GPL-3.0-or-later
// Counts lost saves: a large C++ file in a watched folder is saved, and saved again with new
// content while the real clang-format is still formatting the first save. A round loses the
// save when the file ends up without the second version's content.
#include "BenchFiles.h"
#include "FormattingHome.h"
#include "core/services/CoreServices.h"
#include "core/support/NotificationCenter.h"
#include "platform/Platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

using BenchFiles::median;
using BenchFiles::readFile;

QTextStream out(stdout);

// clang-format 14 takes about 2.1 s on this many lines on the 2-core machine the figures
// are quoted on.
constexpr int kDefaultLines = 6000;
constexpr int kDefaultRounds = 20;
constexpr auto kPoll = 10ms;

QByteArray marker(int round, int version)
{
    return QByteArrayLiteral("// save-race marker: round ") + QByteArray::number(round) +
           QByteArrayLiteral(", version ") + QByteArray::number(version) +
           QByteArrayLiteral(" of this round\n");
}

// One badly written function (or struct) per line. Both versions of a round draw the same
// numbers; the second adds a statement to every 64th function, as a user's edit would.
QByteArray unformattedSource(int lines, int round, int version)
{
    // Raw engine output, not a distribution: the same file on every standard library.
    std::mt19937 random(std::uint32_t(1000 + round));
    QByteArray text = marker(round, version);
    text += "#include <string>\n#include <vector>\n";
    for (int i = 0; i < lines; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray k = QByteArray::number(random() % 97 + 2);
        const QByteArray edit =
            version == 2 && i % 64 == 0 ? QByteArrayLiteral("t+=") + k + ';' : QByteArray();
        switch (random() % 4) {
        case 0:
            text += "static int   f_" + n + "( int a,int b ){std::vector<int> v={a,b ,a+" + k +
                    "};int t=0;for(auto x:v){if(x>" + k + "){t+=x;}else{t-=x;}}" + edit +
                    "return t ;}\n";
            break;
        case 1:
            text += "static   long g_" + n + "(const std::string&s , long k){long t=" + k +
                    ";for(char c:s){t=t*31+c ;} if(k>" + k + ") {return t^k;}" + edit +
                    "return t ;}\n";
            break;
        case 2:
            text += "struct S_" + n + "{int x=" + k + ";int y ;int sum( )const{int t=x+y+" + k +
                    ";" + edit + "return t;}};\n";
            break;
        default:
            text += "static double d_" + n + "(double x){int t=int(x)%" + k + ";" + edit +
                    "switch(t){case 0:return x*" + k +
                    ";case 1:return x/2;default:break;}return x;}\n";
            break;
        }
    }
    return text;
}

// In place, as most editors save: the same file truncated and written.
bool saveInPlace(const QString &path, const QByteArray &content)
{
    return BenchFiles::writeFile(path, content);
}

QString seconds(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral(" s");
}

// The clang-format processes this process started, directly or through a wrapper, that are
// still running (zombies waiting to be reaped are over).
QList<qint64> runningFormatters()
{
    struct Entry
    {
        qint64 parent = 0;
        bool formatter = false;
    };
    QHash<qint64, Entry> processes;
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : pids) {
        // "pid (comm) state ppid …"; comm may hold spaces and parentheses.
        const QByteArray stat = readFile(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        const qsizetype open = stat.indexOf('(');
        const qsizetype close = stat.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 2)
            continue;
        const QByteArray comm = stat.mid(open + 1, close - open - 1);
        processes.insert(pid.toLongLong(),
                         {fields[1].toLongLong(),
                          comm.startsWith("clang-format") && fields[0] != "Z" && fields[0] != "X"});
    }
    const qint64 self = QCoreApplication::applicationPid();
    QList<qint64> found;
    for (auto it = processes.cbegin(); it != processes.cend(); ++it) {
        if (!it->formatter)
            continue;
        for (qint64 ancestor = it->parent; ancestor > 1;
             ancestor = processes.value(ancestor).parent) {
            if (ancestor == self) {
                found.append(it.key());
                break;
            }
        }
    }
    return found;
}

// The formatter runs seen during a round: when each was first and last seen running.
class FormatterWatch
{
public:
    FormatterWatch() { m_clock.start(); }

    // Returns whether any formatter is running now.
    bool poll()
    {
        const QList<qint64> running = runningFormatters();
        const double now = m_clock.nsecsElapsed() / 1e9;
        for (qint64 pid : running)
            m_runs.try_emplace(pid, Run{now, now}).first->second.last = now;
        return !running.isEmpty();
    }
    int count() const { return int(m_runs.size()); }
    double totalSeconds() const
    {
        double total = 0;
        for (const auto &entry : m_runs)
            total += entry.second.last - entry.second.first;
        return total;
    }

private:
    struct Run
    {
        double first;
        double last;
    };
    QElapsedTimer m_clock;
    std::map<qint64, Run> m_runs;
};

// What tells whether the file still changes: its inode, size and modification time.
struct FileState
{
    ino_t inode = 0;
    off_t size = -1;
    std::int64_t modified = 0;
    friend bool operator==(const FileState &, const FileState &) = default;
};

FileState fileState(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {status.st_ino, status.st_size,
            std::int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

void pause(std::chrono::milliseconds duration)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(kPoll.count()));
        QThread::msleep(1);
    }
}

struct Timings
{
    std::chrono::milliseconds latency{200};
    std::chrono::milliseconds echoWindow{1000};
    // Nothing may happen for this long before a round is judged: a save the watcher noticed
    // late is reported after the latency, and one held back by the echo window after the
    // window.
    std::chrono::milliseconds quiet() const { return latency + echoWindow + 1000ms; }
    std::chrono::milliseconds formatterStartTimeout{15000};
    std::chrono::milliseconds settleTimeout{180000};
};

// The processing notifications of one watcher; a delivery is under way between its
// "fileProcessingStarted" and its "fileProcessingComplete".
class ProcessingWatch
{
public:
    ProcessingWatch(NotificationCenter &center, const QUuid &watcherId)
    {
        QObject::connect(&center, &NotificationCenter::fileProcessingStarted, &m_context,
                         [this, watcherId](const QUuid &id) {
                             if (id == watcherId)
                                 ++m_started;
                         });
        QObject::connect(&center, &NotificationCenter::fileProcessingComplete, &m_context,
                         [this, watcherId](const QUuid &id) {
                             if (id == watcherId)
                                 ++m_completed;
                         });
    }
    int notifications() const { return m_started + m_completed; }
    bool busy() const { return m_started > m_completed; }

private:
    QObject m_context;
    int m_started = 0;
    int m_completed = 0;
};

enum class Outcome
{
    lost,
    formatted,        // the formatter's own output for version 2
    unformatted,      // version 2 exactly as saved
    changedOtherwise, // holds version 2's marker, but is neither of those
};

struct Round
{
    bool formatterSeen = false;
    bool raced = false; // version 2 was saved while the formatter ran
    bool settled = false;
    double secondSaveAfter = 0; // seconds after the formatter was first seen
    int formatterRuns = 0;
    double formatterSeconds = 0;
    double referenceSeconds = 0;
    qsizetype formattedLines = 0; // of version 2, as clang-format makes it
    Outcome outcome = Outcome::lost;
    bool holdsFirstVersion = false;
};

class Bench
{
public:
    Bench(NotificationCenter &notifications, const QUuid &watcherId, QString tree, QString scratch,
          QString stylePath, QString formatter, Timings timings)
        : m_processing(notifications, watcherId)
        , m_tree(std::move(tree))
        , m_scratch(std::move(scratch))
        , m_stylePath(std::move(stylePath))
        , m_formatter(std::move(formatter))
        , m_timings(timings)
    {}

    std::optional<Round> run(int round, int lines);

private:
    std::optional<QByteArray> reference(const QByteArray &source, double *elapsed) const;
    bool waitForFormatter(FormatterWatch &watch);
    bool settle(FormatterWatch &watch, const QString &path);

    ProcessingWatch m_processing;
    const QString m_tree;
    const QString m_scratch;
    const QString m_stylePath;
    const QString m_formatter;
    const Timings m_timings;
};

// clang-format's own output for `source`, made outside the watched tree.
std::optional<QByteArray> Bench::reference(const QByteArray &source, double *elapsed) const
{
    const QString path = m_scratch + QStringLiteral("/reference.cpp");
    if (!saveInPlace(path, source))
        return std::nullopt;
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(m_formatter,
                  {QStringLiteral("-i"), QStringLiteral("-style=file:") + m_stylePath, path});
    if (!process.waitForFinished(int(m_timings.settleTimeout.count())) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        out << "reference clang-format failed: " << process.readAllStandardError() << Qt::endl;
        return std::nullopt;
    }
    *elapsed = timer.nsecsElapsed() / 1e9;
    return readFile(path);
}

bool Bench::waitForFormatter(FormatterWatch &watch)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < m_timings.formatterStartTimeout.count()) {
        if (watch.poll())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(kPoll.count()));
        QThread::msleep(kPoll.count());
    }
    return false;
}

// Waits until no formatter ran, no delivery was under way, no notification came and the file
// did not change for the quiet time.
bool Bench::settle(FormatterWatch &watch, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QElapsedTimer sinceActivity;
    sinceActivity.start();
    FileState state = fileState(path);
    int notifications = m_processing.notifications();
    while (timer.elapsed() < m_timings.settleTimeout.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(kPoll.count()));
        const bool formatting = watch.poll();
        const FileState now = fileState(path);
        if (formatting || m_processing.busy() || now != state ||
            notifications != m_processing.notifications()) {
            state = now;
            notifications = m_processing.notifications();
            sinceActivity.restart();
        } else if (sinceActivity.elapsed() > m_timings.quiet().count()) {
            return true;
        }
        QThread::msleep(kPoll.count());
    }
    return false;
}

std::optional<Round> Bench::run(int round, int lines)
{
    Round result;
    const QByteArray first = unformattedSource(lines, round, 1);
    const QByteArray second = unformattedSource(lines, round, 2);
    const std::optional<QByteArray> formattedSecond = reference(second, &result.referenceSeconds);
    if (!formattedSecond)
        return std::nullopt;
    result.formattedLines = formattedSecond->count('\n');

    const QString path =
        m_tree + QStringLiteral("/round%1.cpp").arg(round, 2, 10, QLatin1Char('0'));
    FormatterWatch watch;
    if (!saveInPlace(path, first)) {
        out << "cannot write " << path << Qt::endl;
        return std::nullopt;
    }
    result.formatterSeen = waitForFormatter(watch);
    QElapsedTimer sinceSeen;
    sinceSeen.start();
    // Late enough that the formatter has read the first version, early enough that it is far
    // from done.
    if (result.formatterSeen)
        pause(std::max(100ms, std::chrono::milliseconds(qint64(result.referenceSeconds * 250))));
    if (!saveInPlace(path, second)) {
        out << "cannot write " << path << Qt::endl;
        return std::nullopt;
    }
    result.secondSaveAfter = sinceSeen.nsecsElapsed() / 1e9;
    result.raced = result.formatterSeen && watch.poll();
    result.settled = settle(watch, path);
    result.formatterRuns = watch.count();
    result.formatterSeconds = watch.totalSeconds();

    const QByteArray content = readFile(path);
    result.holdsFirstVersion = content.contains(marker(round, 1));
    if (!content.contains(marker(round, 2)))
        result.outcome = Outcome::lost;
    else if (content == *formattedSecond)
        result.outcome = Outcome::formatted;
    else if (content == second)
        result.outcome = Outcome::unformatted;
    else
        result.outcome = Outcome::changedOtherwise;
    return result;
}

QString describe(const Round &round)
{
    QString text;
    switch (round.outcome) {
    case Outcome::lost:
        text = round.holdsFirstVersion ? QStringLiteral("LOST (the file holds the first save)")
                                       : QStringLiteral("LOST (neither save's marker is left)");
        break;
    case Outcome::formatted:
        text = QStringLiteral("kept, formatted afterwards");
        break;
    case Outcome::unformatted:
        text = QStringLiteral("kept, left unformatted");
        break;
    case Outcome::changedOtherwise:
        text = QStringLiteral("kept, but neither as saved nor as clang-format makes it");
        break;
    }
    if (!round.formatterSeen)
        text += QStringLiteral("; no clang-format seen after the first save");
    else if (!round.raced)
        text += QStringLiteral("; clang-format was done before the second save (no race)");
    else
        text += QStringLiteral("; second save %1 into the run").arg(seconds(round.secondSaveAfter));
    if (!round.settled)
        text += QStringLiteral("; still changing at the settle timeout");
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Saves a large C++ file twice, the second time while clang-format formats the first, "
        "and counts the rounds that lose the second save."));
    parser.addHelpOption();
    const QCommandLineOption roundsOption(
        QStringLiteral("rounds"), QStringLiteral("Rounds (default %1).").arg(kDefaultRounds),
        QStringLiteral("N"), QString::number(kDefaultRounds));
    const QCommandLineOption linesOption(
        QStringLiteral("lines"),
        QStringLiteral("Lines of the unformatted file (default %1).").arg(kDefaultLines),
        QStringLiteral("N"), QString::number(kDefaultLines));
    parser.addOptions({roundsOption, linesOption});
    parser.process(app);
    const int rounds = parser.value(roundsOption).toInt();
    const int lines = parser.value(linesOption).toInt();
    if (rounds < 1 || lines < 1) {
        out << "--rounds and --lines take positive numbers\n";
        return 1;
    }

    const QString formatter = FormattingHome::clangFormat();
    if (formatter.isEmpty())
        return 1;
    const FormattingHome home;
    const QUuid &configurationId = home.configurationId;
    const QString &stylePath = home.stylePath;
    const QString tree = home.path() + QStringLiteral("/tree");
    const QString scratch = home.path() + QStringLiteral("/scratch");
    QDir().mkpath(tree);
    QDir().mkpath(scratch);

    Timings timings;
    CoreServices::Options options;
    options.latency = timings.latency;
    options.processedFilesWindow = timings.echoWindow;
    options.settings = &home.settings();
    CoreServices core(Platform::services(), options);
    const CodeWatcherModel watcher =
        CodeWatcherModel::make(QStringLiteral("bench"), QUrl::fromLocalFile(tree + u'/'),
                               SupportedFileExtension::cpp, configurationId);
    if (const AddWatcherResult added = core.registry().addWatcher(watcher); !added) {
        out << "cannot watch " << tree << ": " << added.error().error.description << Qt::endl;
        return 1;
    }

    const QByteArray sample = unformattedSource(lines, 1, 1);
    out << "clang-format: " << formatter << "\n"
        << "file: " << lines + 3 << " lines, " << sample.size() / 1024 << " KiB unformatted\n"
        << "latency " << timings.latency.count() << " ms, echo window "
        << timings.echoWindow.count() << " ms; a round is judged after " << timings.quiet().count()
        << " ms with no change (timeouts: " << timings.formatterStartTimeout.count() / 1000
        << " s for clang-format to start, " << timings.settleTimeout.count() / 1000
        << " s to settle)\n"
        << Qt::endl;

    Bench bench(core.notifications(), watcher.id, tree, scratch, stylePath, formatter, timings);
    std::vector<Round> results;
    for (int round = 1; round <= rounds; ++round) {
        const std::optional<Round> result = bench.run(round, lines);
        if (!result)
            return 1;
        out << QStringLiteral("round %1: clang-format ran %2 time(s), %3 in all (alone: %4); %5")
                   .arg(round, 2)
                   .arg(result->formatterRuns)
                   .arg(seconds(result->formatterSeconds), seconds(result->referenceSeconds),
                        describe(*result))
            << Qt::endl;
        results.push_back(*result);
    }

    const auto count = [&](auto predicate) {
        return std::count_if(results.cbegin(), results.cend(), predicate);
    };
    const auto outcome = [&](Outcome wanted) {
        return count([wanted](const Round &r) { return r.outcome == wanted; });
    };
    std::vector<double> formatterTimes;
    std::vector<double> referenceTimes;
    for (const Round &r : results) {
        formatterTimes.push_back(r.formatterSeconds);
        referenceTimes.push_back(r.referenceSeconds);
    }
    const auto notRaced = count([](const Round &r) { return !r.raced; });
    out << "\nrounds:                       " << rounds << " (" << notRaced
        << " without a second save during a run)\n"
        << "LOST:                         " << outcome(Outcome::lost) << "\n"
        << "kept and formatted:           " << outcome(Outcome::formatted) << "\n"
        << "kept but unformatted:         "
        << outcome(Outcome::unformatted) + outcome(Outcome::changedOtherwise) << " ("
        << outcome(Outcome::changedOtherwise) << " neither as saved nor formatted)\n"
        << "unsettled at the timeout:     " << count([](const Round &r) { return !r.settled; })
        << "\n"
        << "clang-format per round:       median " << seconds(median(formatterTimes))
        << " while watched, " << seconds(median(referenceTimes)) << " run alone\n"
        << "file:                         " << lines + 3 << " lines as saved, "
        << results.back().formattedLines << " once formatted\n";
    return 0;
}
