// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the git-aware options against the same work without them, in one run, with the real
// clang-format:
//  - a save of a 2,000-line file in a repository of 10,000 commits, fixed with "Only lines I
//    changed" against the whole-file fix (the fixer's part of save-to-formatted: the 1.0 s
//    coalescing before it is the same for both);
//  - "Run Fixers" over a tree of 1,000 files whose ignored build folder holds 90 % of them, with
//    "Skip files git ignores" against without it.
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "FormattingHome.h"
#include "core/formatting/ChangedLines.h"
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/SprucerFactory.h"
#include "core/git/GitRules.h"
#include "core/model/CodeWatcherModel.h"
#include "core/support/UnifiedDiff.h"
#include "core/watching/FixPipeline.h"
#include "core/watching/SourceFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <vector>

namespace {

using BenchFiles::median;
using BenchFiles::printLine;
using BenchFiles::writeFile;

bool git(const QString &folder, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("git"),
                  QStringList{QStringLiteral("-c"), QStringLiteral("user.name=Bench"),
                              QStringLiteral("-c"), QStringLiteral("user.email=b@example.org")} +
                      arguments);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(600000) && process.exitCode() == 0;
}

// About 2,000 lines: a hundred functions of twenty badly spaced lines each.
QByteArray legacyFile(int editedFunction = -1)
{
    QByteArray text;
    for (int f = 0; f < 100; ++f) {
        text += "int   function_" + QByteArray::number(f) + "( int a,int b ){\n";
        for (int line = 0; line < 18; ++line)
            text += "  int x_" + QByteArray::number(line) + "=a+b*  " +
                    QByteArray::number(f == editedFunction && line == 3 ? 99 : line) + " ;\n";
        text += "return x_0+x_17 ;}\n\n";
    }
    return text;
}

// 10,000 commits of a small file, then one that adds the legacy file; made with fast-import.
bool longHistory(const QString &folder)
{
    QByteArray stream;
    const int commits = 10000;
    for (int i = 1; i <= commits; ++i) {
        const QByteArray number = QByteArray::number(i);
        const QByteArray content = "entry " + number + '\n';
        stream += "commit refs/heads/main\nmark :" + number + "\ncommitter Bench <b@example.org> " +
                  QByteArray::number(1700000000 + i) + " +0000\ndata " +
                  QByteArray::number(number.size()) + '\n' + number + '\n';
        if (i > 1)
            stream += "from :" + QByteArray::number(i - 1) + '\n';
        stream +=
            "M 100644 inline log.txt\ndata " + QByteArray::number(content.size()) + '\n' + content;
        if (i == commits) {
            const QByteArray legacy = legacyFile();
            stream += "M 100644 inline legacy.cpp\ndata " + QByteArray::number(legacy.size()) +
                      '\n' + legacy;
        }
        stream += '\n';
    }
    return git(folder, {QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("-b"),
                        QStringLiteral("main")}) &&
           git(folder, {QStringLiteral("fast-import"), QStringLiteral("--quiet")}, stream) &&
           git(folder, {QStringLiteral("reset"), QStringLiteral("-q"), QStringLiteral("--hard"),
                        QStringLiteral("main")});
}

std::shared_ptr<IFixer> fixerFor(const FormattingHome &home, ToolFixer::Environment environment,
                                 const QUuid &watcherId)
{
    CodeWatcherModel watcher = CodeWatcherModel::make(
        QStringLiteral("bench"), {}, SupportedFileExtension::cpp, home.configurationId);
    watcher.id = watcherId;
    return SprucerFactory(ConfigManagerFactory(home.settings()), std::move(environment))
        .makeFixer(watcher)
        .value();
}

void compareSaves(const FormattingHome &home, GitRules &rules, int reps)
{
    const QString folder = home.path() + QStringLiteral("/history");
    QDir().mkpath(folder);
    QElapsedTimer made;
    made.start();
    if (!longHistory(folder)) {
        printLine(QStringLiteral("could not make the repository"));
        return;
    }
    printLine(QStringLiteral("repository of 10,000 commits made in %1 s")
                  .arg(double(made.elapsed()) / 1000, 0, 'f', 1));
    FileCoordinator coordinator;
    ToolFixer::Environment environment;
    environment.coordinator = &coordinator;
    environment.git = &rules;
    const QUuid whole = QUuid::createUuid(), changed = QUuid::createUuid();
    rules.options().set(whole, {false, false});
    rules.options().set(changed, {true, false});
    const std::shared_ptr<IFixer> wholeFixer = fixerFor(home, environment, whole);
    const std::shared_ptr<IFixer> changedFixer = fixerFor(home, environment, changed);
    const QString file = folder + QStringLiteral("/legacy.cpp");
    const QByteArray edited = legacyFile(50);
    std::vector<double> wholeTimes, changedTimes;
    QByteArray changedResult;
    for (int rep = -1; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool narrow = (turn + rep) % 2 == 0;
            writeFile(file, edited);
            QElapsedTimer timer;
            timer.start();
            const FixResult result = (narrow ? changedFixer : wholeFixer)->fix(file);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            if (rep < 0)
                continue; // warm-up
            (narrow ? changedTimes : wholeTimes).push_back(ms);
            if (narrow)
                changedResult = result.content.value_or(QByteArray());
        }
    }
    const double w = median(wholeTimes), c = median(changedTimes);
    printLine(QStringLiteral("save of a 2,000-line file: whole %1 ms, only changed lines %2 ms, "
                             "ratio %3")
                  .arg(w, 0, 'f', 1)
                  .arg(c, 0, 'f', 1)
                  .arg(c / w, 0, 'f', 3));
    {
        QElapsedTimer parts;
        parts.start();
        const std::optional<QByteArray> head = rules.baseline(changed, file);
        const double lookup = double(parts.nsecsElapsed()) / 1e6;
        parts.restart();
        GitWorkTrees unopened; // what every save would pay without the opened repository kept
        (void)unopened.find(file).repository->headContent(file);
        const double opening = double(parts.nsecsElapsed()) / 1e6;
        const QByteArray whole = wholeFixer->fix(file).content.value_or(QByteArray());
        writeFile(file, edited);
        parts.restart();
        (void)ChangedLines::keep(edited, whole, head.value_or(QByteArray()));
        printLine(QStringLiteral("  of which: HEAD's version read in %1 ms (%2 ms opening the "
                                 "repository for it), changes kept in %3 ms")
                      .arg(lookup, 0, 'f', 2)
                      .arg(opening, 0, 'f', 2)
                      .arg(double(parts.nsecsElapsed()) / 1e6, 0, 'f', 2));
    }
    qsizetype touched = 0;
    for (const UnifiedDiff::LineChange &change : UnifiedDiff::lineChanges(edited, changedResult))
        touched += change.removed;
    printLine(QStringLiteral("  lines of the save the narrowed fix rewrote: %1 of %2")
                  .arg(touched)
                  .arg(edited.count('\n')));
}

double runFixers(FixPipeline &pipeline, const FixPipeline::Route &route, const QString &root)
{
    QEventLoop loop;
    const QMetaObject::Connection done =
        QObject::connect(&pipeline, &FixPipeline::runFinished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    pipeline.process(route, SourceFiles::inTree(root), FixPipeline::Origin::run);
    loop.exec();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(done);
    // The echo window lets the next run take the files again.
    QEventLoop settle;
    QTimer::singleShot(50, &settle, &QEventLoop::quit);
    settle.exec();
    return ms;
}

void compareRuns(const FormattingHome &home, GitRules &rules, int reps)
{
    const QString root = home.path() + QStringLiteral("/ignored");
    for (int i = 0; i < 1000; ++i) {
        const QString folder = root + (i < 100 ? QStringLiteral("/src") : QStringLiteral("/build"));
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/f%1.cpp").arg(i), legacyFile().left(2000));
    }
    writeFile(root + QStringLiteral("/.gitignore"), "build/\n");
    if (!git(root, {QStringLiteral("init"), QStringLiteral("-q")}) ||
        !git(root, {QStringLiteral("add"), QStringLiteral(".")}) ||
        !git(root, {QStringLiteral("commit"), QStringLiteral("-qm"), QStringLiteral("tree")})) {
        printLine(QStringLiteral("could not make the tree's repository"));
        return;
    }
    FileCoordinator coordinator;
    FixPipeline pipeline(FixPipelineTimings{std::chrono::milliseconds(0)});
    pipeline.setGitRules(&rules);
    ToolFixer::Environment environment;
    environment.coordinator = &coordinator;
    environment.stop = &pipeline.toolStop();
    environment.git = &rules;
    const QUuid skipping = QUuid::createUuid(), all = QUuid::createUuid();
    rules.options().set(skipping, {false, true});
    rules.options().set(all, {false, false});
    const FixPipeline::Route skip{skipping, SupportedFileExtension::cpp,
                                  fixerFor(home, environment, skipping)};
    const FixPipeline::Route every{all, SupportedFileExtension::cpp,
                                   fixerFor(home, environment, all)};
    std::vector<double> skipTimes, everyTimes;
    for (int rep = -1; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool skips = (turn + rep) % 2 == 0;
            const double ms = runFixers(pipeline, skips ? skip : every, root);
            if (rep >= 0)
                (skips ? skipTimes : everyTimes).push_back(ms);
        }
    }
    pipeline.stop();
    {
        QElapsedTimer parts;
        parts.start();
        const QStringList walked = SourceFiles::inTree(root);
        const double walk = double(parts.nsecsElapsed()) / 1e6;
        parts.restart();
        const qsizetype kept = rules.kept(skipping, walked).size();
        printLine(QStringLiteral("  of which: the walk %1 ms, the ignore rule over it %2 ms (%3 "
                                 "kept)")
                      .arg(walk, 0, 'f', 2)
                      .arg(double(parts.nsecsElapsed()) / 1e6, 0, 'f', 2)
                      .arg(kept));
    }
    const double s = median(skipTimes), e = median(everyTimes);
    printLine(QStringLiteral("Run Fixers, 1,000 files, 900 ignored: all %1 ms, skipping ignored "
                             "%2 ms, ratio %3")
                  .arg(e, 0, 'f', 1)
                  .arg(s, 0, 'f', 1)
                  .arg(s / e, 0, 'f', 3));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int reps = BenchOptions::repetitionsOnly(app, 9);
    const FormattingHome home;
    if (FormattingHome::clangFormat().isEmpty())
        return 1;
    GitRules rules(home.settings());
    compareSaves(home, rules, reps);
    compareRuns(home, rules, reps);
    return 0;
}
