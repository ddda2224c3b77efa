// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the processing pipeline against the obvious peers, in one run:
//  - "Run Fixers" over 1,000 C++ files against `find | xargs -P N -n 1 clang-format -i`
//    with the same N as our processing pool, for several N;
//  - save-to-formatted overhead: from a file's close to its formatted content on disk, minus
//    the 1.0 s coalescing latency and minus clang-format's own time on that file alone.
#include "FormattingHome.h"
#include "core/services/CoreServices.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/FixPipeline.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

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

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void makeTree(const QString &root, int files)
{
    for (int i = 0; i < files; ++i) {
        const QString dir = root + QStringLiteral("/module%1").arg(i / 50);
        QDir().mkpath(dir);
        writeFile(dir + QStringLiteral("/file%1.cpp").arg(i), unformattedSource(i));
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double peerSeconds(const QString &root, const QString &stylePath, int jobs)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("find '%1' -name '*.cpp' -print0 | xargs -0 -P %2 -n 1 "
                                      "clang-format -i '-style=file:%3'")
                           .arg(root)
                           .arg(jobs)
                           .arg(stylePath)});
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
    CoreServices core{Platform::services()};
    MonitorRegistry &registry = core.registry();
    CodeWatcherModel watcher;
};

std::unique_ptr<Project> watch(const QString &root, const QUuid &configurationId)
{
    auto project = std::make_unique<Project>();
    project->watcher =
        CodeWatcherModel::make(QStringLiteral("bench"), QUrl::fromLocalFile(root + u'/'),
                               SupportedFileExtension::cpp, configurationId);
    if (Status failure = project->registry.addWatcher(project->watcher)) {
        out << "cannot watch " << root << ": " << failure->description << Qt::endl;
        return nullptr;
    }
    return project;
}

double oursSeconds(const QString &root, const QUuid &configurationId, int jobs)
{
    std::unique_ptr<Project> project = watch(root, configurationId);
    if (!project)
        return -1;
    project->core.pipeline().setThreadCount(jobs);
    QElapsedTimer timer;
    timer.start();
    project->registry.runFixers(project->watcher.id);
    if (!waitForCompletion(project->core.notifications(), 600000))
        return -1;
    return timer.elapsed() / 1000.0;
}

void benchRunFixers(const QString &scratch, const QString &stylePath, const QUuid &configurationId,
                    const QList<int> &jobCounts)
{
    constexpr int kFiles = 1000;
    constexpr int kRounds = 3;
    out << "Run Fixers over " << kFiles << " C++ files (wall seconds, median of " << kRounds
        << " interleaved rounds)\n";
    out << "  N  ours    xargs -P N   ratio\n";
    for (int jobs : jobCounts) {
        std::vector<double> peerTimes;
        std::vector<double> ourTimes;
        bool same = true;
        for (int round = 0; round < kRounds; ++round) {
            const QString peerRoot = scratch + QStringLiteral("/peer");
            const QString ourRoot = scratch + QStringLiteral("/ours");
            makeTree(peerRoot, kFiles);
            makeTree(ourRoot, kFiles);
            peerTimes.push_back(peerSeconds(peerRoot, stylePath, jobs));
            ourTimes.push_back(oursSeconds(ourRoot, configurationId, jobs));
            // Both must have produced the same files.
            same = same && readFile(peerRoot + QStringLiteral("/module3/file170.cpp")) ==
                               readFile(ourRoot + QStringLiteral("/module3/file170.cpp"));
            QDir(peerRoot).removeRecursively();
            QDir(ourRoot).removeRecursively();
        }
        const double peer = median(peerTimes);
        const double ours = median(ourTimes);
        out << QStringLiteral("  %1  %2  %3       %4%5\n")
                   .arg(jobs)
                   .arg(ours, 6, 'f', 2)
                   .arg(peer, 6, 'f', 2)
                   .arg(ours / peer, 4, 'f', 2)
                   .arg(same ? QString() : QStringLiteral("  (outputs differ!)"));
        out.flush();
    }
}

void benchSaveToFormatted(const QString &scratch, const QString &stylePath,
                          const QUuid &configurationId)
{
    const QString root = scratch + QStringLiteral("/save");
    QDir().mkpath(root);
    std::unique_ptr<Project> project = watch(root, configurationId);
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("clang-format")).isEmpty()) {
        out << "clang-format is not installed\n";
        return 1;
    }
    const FormattingHome home;
    const QUuid &configurationId = home.configurationId;
    const QString &stylePath = home.stylePath;

    // Arguments: "run-fixers", "save" (both when neither), and job counts to try (default
    // 2 3 4 6).
    QStringList what;
    QList<int> jobCounts;
    for (const QString &argument : app.arguments().mid(1)) {
        bool isNumber = false;
        const int jobs = argument.toInt(&isNumber);
        if (isNumber)
            jobCounts.append(jobs);
        else
            what.append(argument);
    }
    if (jobCounts.isEmpty())
        jobCounts = {2, 3, 4, 6};
    if (what.isEmpty() || what.contains(QStringLiteral("run-fixers")))
        benchRunFixers(home.path(), stylePath, configurationId, jobCounts);
    if (what.isEmpty() || what.contains(QStringLiteral("save")))
        benchSaveToFormatted(home.path(), stylePath, configurationId);
    return 0;
}
