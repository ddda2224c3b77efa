// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the processing pipeline against the obvious peers, in one run:
//  - "Run Fixers" over 1,000 C++ files against `find | xargs -P N -n 1 clang-format -i` and
//    `xargs -P N -n 10` with the same N as our processing pool, for several batch sizes;
//  - the same over 200 Kotlin files with a stand-in for ktlint that starts a Java VM per run;
//  - save-to-formatted overhead: from a file's close to its formatted content on disk, minus
//    the 1.0 s coalescing latency and minus clang-format's own time on that file alone;
//  - what a year of statistics costs: one recorded fix with 1,460 records against none, and
//    "Run Fixers" over the 1,000 C++ files starting from a year of them against none.
#include "BenchFiles.h"
#include "FormattingHome.h"
#include "YearOfFixes.h"
#include "core/services/CoreServices.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/FixPipeline.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using BenchFiles::median;
using BenchFiles::readFile;
using BenchFiles::writeFile;

QTextStream out(stdout);

QByteArray unformattedSource(int seed)
{
    QByteArray text = "#include <vector>\n#include <string>\n";
    for (int f = 0; f < 12; ++f) {
        text += QByteArray("int   function_") + QByteArray::number(seed) + '_' +
                QByteArray::number(f) +
                "( int a,int b ){std::vector<int> v={a,b ,a+b};int total=0;"
                "for(auto x:v){if(x>0){total+=x;}else{total-=x;}}return total ;}\n";
    }
    return text;
}

// Badly written Kotlin: stray spaces after "(" and at the ends of lines.
QByteArray unformattedKotlin(int seed)
{
    QByteArray text = "package bench\n\n";
    for (int f = 0; f < 12; ++f) {
        text += "fun  function" + QByteArray::number(seed) + '_' + QByteArray::number(f) +
                "( a: Int, b: Int): Int {   \n    return listOf( a, b).sum()  \n}\n\n";
    }
    return text;
}

// One language's work for "Run Fixers": its files, its configuration, and the tool's command
// line before the files, as xargs runs it.
struct Workload
{
    QString name;
    SupportedFileExtension kind = SupportedFileExtension::cpp;
    QString extension;
    QByteArray (*source)(int seed) = nullptr;
    int files = 0;
    QUuid configurationId;
    QStringList command;
};

QStringList makeTree(const QString &root, const Workload &work)
{
    QStringList paths;
    for (int i = 0; i < work.files; ++i) {
        const QString dir = root + QStringLiteral("/module%1").arg(i / 50);
        QDir().mkpath(dir);
        paths << QStringLiteral("/module%1/file%2.").arg(i / 50).arg(i) + work.extension;
        writeFile(root + paths.last(), work.source(i));
    }
    return paths;
}

QString shellQuoted(const QStringList &words)
{
    QStringList quoted;
    for (const QString &word : words)
        quoted << u'\'' + QString(word).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    return quoted.join(u' ');
}

double peerSeconds(const QString &root, const Workload &work, int jobs, int filesPerRun)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("find '%1' -name '*.%2' -print0 | xargs -0 -P %3 -n %4 %5")
                           .arg(root, work.extension)
                           .arg(jobs)
                           .arg(filesPerRun)
                           .arg(shellQuoted(work.command))});
    return timer.elapsed() / 1000.0;
}

bool waitForCompletion(NotificationCenter &center, int timeoutMs)
{
    QEventLoop loop;
    bool seen = false;
    const auto connection =
        QObject::connect(&center, &NotificationCenter::fileProcessingComplete, &loop, [&] {
            seen = true;
            loop.quit();
        });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return seen;
}

struct Project
{
    explicit Project(UserDefaults &settings)
        : core(Platform::services(), withSettings(settings))
    {}

    static CoreServices::Options withSettings(UserDefaults &settings)
    {
        CoreServices::Options options;
        options.settings = &settings;
        return options;
    }

    CoreServices core;
    MonitorRegistry &registry = core.registry();
    CodeWatcherModel watcher;
};

std::unique_ptr<Project> watch(const FormattingHome &home, const QString &root,
                               SupportedFileExtension kind, const QUuid &configurationId)
{
    auto project = std::make_unique<Project>(home.settings());
    project->watcher = CodeWatcherModel::make(
        QStringLiteral("bench"), QUrl::fromLocalFile(root + u'/'), kind, configurationId);
    if (const AddWatcherResult added = project->registry.addWatcher(project->watcher); !added) {
        out << "cannot watch " << root << ": " << added.error().error.description << Qt::endl;
        return nullptr;
    }
    return project;
}

double oursSeconds(const FormattingHome &home, const QString &root, const Workload &work, int jobs,
                   int batch)
{
    std::unique_ptr<Project> project = watch(home, root, work.kind, work.configurationId);
    if (!project)
        return -1;
    project->core.pipeline().setThreadCount(jobs);
    project->core.pipeline().setBatchSize(batch);
    QElapsedTimer timer;
    timer.start();
    if (!project->registry.runFixers(project->watcher.id))
        return -1;
    const bool completed = waitForCompletion(project->core.notifications(), 1800000);
    const double seconds = timer.elapsed() / 1000.0;
    // The next round watches a new tree at the same path: a watcher left stored there would
    // own its files.
    (void)project->registry.removeWatcher(project->watcher.id);
    return completed ? seconds : -1;
}

// "Run Fixers" twice over a tree nobody changes in between: the second run finds the files the
// first left formatted, as the tool wrote them, and runs the tool on none.
void benchRunFixersAgain(const FormattingHome &home, const Workload &work, int jobs)
{
    constexpr int kRounds = 3;
    std::vector<double> first, second;
    const QString root = home.path() + QStringLiteral("/again");
    for (int round = 0; round < kRounds; ++round) {
        makeTree(root, work);
        first.push_back(oursSeconds(home, root, work, jobs, FixPipeline::defaultBatchSize));
        second.push_back(oursSeconds(home, root, work, jobs, FixPipeline::defaultBatchSize));
        QDir(root).removeRecursively();
    }
    out << "Run Fixers twice over " << work.files << ' ' << work.name << " files, N = " << jobs
        << " (median of " << kRounds << "): first " << QString::number(median(first), 'f', 2)
        << " s, second " << QString::number(median(second), 'f', 3) << " s, second/first "
        << QString::number(median(second) / median(first), 'f', 3) << " (aim: at most 0.1)"
        << Qt::endl;
}

// How many files of `root` differ from the same file under `reference`.
int differingFiles(const QString &root, const QString &reference, const QStringList &paths)
{
    return int(std::count_if(paths.cbegin(), paths.cend(), [&](const QString &path) {
        return readFile(root + path) != readFile(reference + path);
    }));
}

// The whole tree, formatted by xargs one file a run and ten files a run, and by us with each
// batch size, in interleaved rounds; our files are checked against one run per file.
void benchRunFixers(const FormattingHome &home, const Workload &work, const QList<int> &jobCounts,
                    const QList<int> &batchSizes)
{
    const QString scratch = home.path();
    constexpr int kRounds = 3;
    out << "Run Fixers over " << work.files << ' ' << work.name
        << " files (wall seconds, median of " << kRounds
        << " interleaved rounds; our files compared with xargs -n 1's)\n";
    out << "  N  batch  ours    xargs -n 1  xargs -n 10  ours/n1  ours/n10  differing\n";
    for (int jobs : jobCounts) {
        std::vector<double> one, ten;
        std::map<int, std::vector<double>> ours;
        std::map<int, int> differing;
        for (int round = 0; round < kRounds; ++round) {
            const QString reference = scratch + QStringLiteral("/reference");
            const QStringList paths = makeTree(reference, work);
            one.push_back(peerSeconds(reference, work, jobs, 1));
            const QString peer = scratch + QStringLiteral("/peer");
            makeTree(peer, work);
            ten.push_back(peerSeconds(peer, work, jobs, 10));
            differing[0] += differingFiles(peer, reference, paths);
            QDir(peer).removeRecursively();
            for (int batch : batchSizes) {
                const QString root = scratch + QStringLiteral("/ours");
                makeTree(root, work);
                ours[batch].push_back(oursSeconds(home, root, work, jobs, batch));
                differing[batch] += differingFiles(root, reference, paths);
                QDir(root).removeRecursively();
            }
            QDir(reference).removeRecursively();
        }
        for (int batch : batchSizes) {
            const double time = median(ours[batch]);
            out << QStringLiteral("  %1  %2  %3  %4      %5       %6     %7      %8\n")
                       .arg(jobs)
                       .arg(batch, 5)
                       .arg(time, 6, 'f', 2)
                       .arg(median(one), 6, 'f', 2)
                       .arg(median(ten), 6, 'f', 2)
                       .arg(time / median(one), 4, 'f', 2)
                       .arg(time / median(ten), 4, 'f', 2)
                       .arg(differing[batch]);
            out.flush();
        }
        if (differing[0] != 0)
            out << "  (xargs -n 10 differs from xargs -n 1 on " << differing[0] << " files)\n";
    }
}

// A stand-in for ktlint with its real cost, a Java VM per run; compiled into `scratch`.
QString ktlintStandIn(const QString &scratch)
{
    const QString classes = scratch + QStringLiteral("/ktlint-classes");
    QDir().mkpath(classes);
    if (QProcess::execute(QStringLiteral("javac"), {QStringLiteral("-d"), classes,
                                                    QStringLiteral(SPRUCER_KTLINT_STAND_IN)}) !=
        0) {
        return {};
    }
    const QString bin = scratch + QStringLiteral("/bin");
    QDir().mkpath(bin);
    const QString tool = bin + QStringLiteral("/ktlint");
    writeFile(tool, "#!/bin/sh\nexec java -cp '" + classes.toUtf8() + "' KtlintStandIn \"$@\"\n");
    QFile::setPermissions(tool, QFile::permissions(tool) | QFileDevice::ExeOwner);
    return tool;
}

void benchSaveToFormatted(const FormattingHome &home, const QString &stylePath,
                          const QUuid &configurationId)
{
    const QString scratch = home.path();
    const QString root = scratch + QStringLiteral("/save");
    QDir().mkpath(root);
    std::unique_ptr<Project> project =
        watch(home, root, SupportedFileExtension::cpp, configurationId);
    if (!project)
        return;
    // clang-format's own time on the same file, run alone.
    std::vector<double> toolAlone;
    const QString alone = scratch + QStringLiteral("/alone.cpp");
    for (int i = 0; i < 10; ++i) {
        writeFile(alone, unformattedSource(i));
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(
            QStringLiteral("clang-format"),
            {QStringLiteral("-i"), QStringLiteral("-style=file:") + stylePath, alone});
        toolAlone.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::vector<double> endToEnd;
    for (int i = 0; i < 10; ++i) {
        const QString path = root + QStringLiteral("/save%1.cpp").arg(i);
        writeFile(alone, unformattedSource(100 + i));
        QProcess::execute(
            QStringLiteral("clang-format"),
            {QStringLiteral("-i"), QStringLiteral("-style=file:") + stylePath, alone});
        const QByteArray expected = readFile(alone);
        QElapsedTimer timer;
        writeFile(path, unformattedSource(100 + i));
        timer.start();
        QDeadlineTimer deadline(10000);
        while (readFile(path) != expected && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::usleep(500);
        }
        endToEnd.push_back(timer.nsecsElapsed() / 1e6);
        // Let the echo window of this save pass before the next one.
        QEventLoop idle;
        QTimer::singleShot(5500, &idle, &QEventLoop::quit);
        idle.exec();
    }
    const double overhead = median(endToEnd) - 1000.0 - median(toolAlone);
    out << "Save to formatted (median of 10, ms): end to end " << median(endToEnd)
        << ", clang-format alone " << median(toolAlone) << ", overhead " << overhead
        << " (target < 50)\n";
}

// The statistics the next run starts from: a year of them, or none.
void storeStatistics(UserDefaults &settings, bool year)
{
    if (year)
        settings.setValue(CodeFixStatistics::storageKey,
                          CodeFixStatistics::encode(YearOfFixes::records()));
    else
        settings.remove(CodeFixStatistics::storageKey);
}

QString millisecondFigures(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return QStringLiteral("%1 ms (%2..%3)")
        .arg(median(times), 0, 'f', 3)
        .arg(times.front(), 0, 'f', 3)
        .arg(times.back(), 0, 'f', 3);
}

// One recorded fix on the main thread, from the call to the records handed to the store. Each
// store has a settings file of its own: over one file, each would take in the other's list.
void benchRecordedFix(const QString &folder, int reps)
{
    UserDefaults yearSettings(folder + QStringLiteral("/year.conf"));
    UserDefaults noneSettings(folder + QStringLiteral("/none.conf"));
    storeStatistics(yearSettings, true);
    CodeFixStatistics year(yearSettings);
    CodeFixStatistics none(noneSettings);
    CodeFixStatistics *const statistics[] = {&none, &year};
    std::vector<double> times[2];
    for (int rep = 0; rep <= reps; ++rep) {
        for (int i = 0; i < 2; ++i) {
            const int which = (rep + i) % 2; // taking turns going first
            QElapsedTimer timer;
            timer.start();
            statistics[which]->recordFix(YearOfFixes::languages[rep % 4]);
            if (rep > 0) // the first warms the caches
                times[which].push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    out << "A recorded fix (median of " << reps << "): " << year.dailyFixes().size() << " records "
        << millisecondFigures(times[1]) << ", " << none.dailyFixes().size() << " records "
        << millisecondFigures(times[0]) << ", ratio "
        << QString::number(median(times[1]) / median(times[0]), 'f', 2) << Qt::endl;
}

// One recorded fix with a year of records right after another process stored its own list: the
// store reads the settings file again and takes that list in before counting.
void benchRecordedFixAfterOtherProcess(const QString &folder, int reps)
{
    const QString file = folder + QStringLiteral("/shared.conf");
    UserDefaults ours(file);
    UserDefaults theirs(file);
    storeStatistics(ours, true);
    ours.flush();
    CodeFixStatistics statistics(ours);
    CodeFixStatistics other(theirs);
    std::vector<double> times;
    for (int rep = 0; rep <= reps; ++rep) {
        other.recordFix(YearOfFixes::languages[(rep + 1) % 4]);
        theirs.flush();
        QElapsedTimer timer;
        timer.start();
        statistics.recordFix(YearOfFixes::languages[rep % 4]);
        if (rep > 0)
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        ours.flush();
    }
    out << "A recorded fix after another process's (median of " << reps
        << "): " << statistics.dailyFixes().size() << " records " << millisecondFigures(times)
        << Qt::endl;
}

// "Run Fixers" over the same tree, starting from a year of statistics and from none, in
// interleaved rounds.
void benchRunFixersWithStatistics(const FormattingHome &home, const Workload &work, int jobs)
{
    const QString scratch = home.path();
    constexpr int kRounds = 3;
    std::vector<double> seconds[2]; // none, a year
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < 2; ++i) {
            const int year = (round + i) % 2;
            const QString root = scratch + QStringLiteral("/statistics");
            makeTree(root, work);
            storeStatistics(home.settings(), year == 1);
            seconds[year].push_back(
                oursSeconds(home, root, work, jobs, FixPipeline::defaultBatchSize));
            QDir(root).removeRecursively();
        }
    }
    out << "Run Fixers over " << work.files << ' ' << work.name << " files, N = " << jobs
        << " (median of " << kRounds << "): a year of statistics "
        << QString::number(median(seconds[1]), 'f', 2) << " s, none "
        << QString::number(median(seconds[0]), 'f', 2) << " s, ratio "
        << QString::number(median(seconds[1]) / median(seconds[0]), 'f', 3) << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (FormattingHome::clangFormat().isEmpty())
        return 1;
    FormattingHome home;

    // Arguments: "run-fixers", "run-fixers-again", "kotlin", "save", "statistics" ("recorded-fix"
    // for its first half; all when none), pool sizes to try (default 4), and "--batch K,K,..." for
    // the batch sizes (default the pipeline's own).
    QStringList what;
    QList<int> jobCounts, batchSizes;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        bool isNumber = false;
        const int jobs = arguments[i].toInt(&isNumber);
        if (isNumber)
            jobCounts.append(jobs);
        else if (arguments[i] == QStringLiteral("--batch") && i + 1 < arguments.size())
            for (const QString &size : arguments[++i].split(u','))
                batchSizes.append(size.toInt());
        else
            what.append(arguments[i]);
    }
    if (jobCounts.isEmpty())
        jobCounts = {4};
    if (batchSizes.isEmpty())
        batchSizes = {FixPipeline::defaultBatchSize};
    const bool all = what.isEmpty();
    const Workload cpp{QStringLiteral("C++"),
                       SupportedFileExtension::cpp,
                       QStringLiteral("cpp"),
                       unformattedSource,
                       1000,
                       home.configurationId,
                       {QStringLiteral("clang-format"), QStringLiteral("-i"),
                        QStringLiteral("-style=file:") + home.stylePath}};
    if (all || what.contains(QStringLiteral("run-fixers-again")))
        benchRunFixersAgain(home, cpp, jobCounts.first());
    if (all || what.contains(QStringLiteral("run-fixers")))
        benchRunFixers(home, cpp, jobCounts, batchSizes);
    const bool statistics = all || what.contains(QStringLiteral("statistics"));
    if (statistics || what.contains(QStringLiteral("recorded-fix"))) {
        benchRecordedFix(home.path(), 301);
        benchRecordedFixAfterOtherProcess(home.path(), 101);
    }
    if (statistics)
        benchRunFixersWithStatistics(home, cpp, jobCounts.first());
    if (all || what.contains(QStringLiteral("kotlin"))) {
        const QString tool = ktlintStandIn(home.path());
        if (tool.isEmpty()) {
            out << "javac could not build the ktlint stand-in\n";
            return 1;
        }
        qputenv("PATH", QFileInfo(tool).path().toUtf8() + ':' + qgetenv("PATH"));
        const QUuid kotlinId =
            home.addConfiguration(SupportedFileExtension::kotlin, QStringLiteral("root = true\n"));
        const QString config =
            ConfigManagerFactory(home.settings()).configURL(kotlinId).value().toLocalFile();
        const Workload kotlin{
            QStringLiteral("Kotlin (ktlint stand-in, a JVM per run)"),
            SupportedFileExtension::kotlin,
            QStringLiteral("kt"),
            unformattedKotlin,
            200,
            kotlinId,
            {tool, QStringLiteral("--format"), QStringLiteral("--editorconfig=") + config}};
        benchRunFixers(home, kotlin, jobCounts, batchSizes);
    }
    if (all || what.contains(QStringLiteral("save")))
        benchSaveToFormatted(home, home.stylePath, home.configurationId);
    return 0;
}
