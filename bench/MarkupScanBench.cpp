// SPDX-License-Identifier: GPL-3.0-or-later
// Times the full-tree markup scan against ripgrep on the same trees and extensions, warm cache,
// and checks that both find the same notes. Usage: see README.md.
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "core/markups/MarkupStore.h"
#include "core/markups/MarkupWatcher.h"
#include "core/model/SupportedFileExtension.h"
#include "core/support/SprucerLogger.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

const QString kPattern = QStringLiteral("(TODO|FIXME):\\s*(.+)");

struct Tree
{
    QString path;
    QStringList extensions;
};

struct Run
{
    double seconds = 0;
    qsizetype findings = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QStringList ripgrepArguments(const QStringList &extensions)
{
    // Hidden items skipped, no ignore files, extensions matched without regard to case: the
    // same files our walk reads (ripgrep does enter packages, which these trees do not have).
    // The exclusion goes last: of several matching globs, ripgrep obeys the last one given.
    QStringList arguments{QStringLiteral("-n"), QStringLiteral("--no-ignore"),
                          QStringLiteral("--glob-case-insensitive")};
    for (const QString &extension : extensions)
        arguments << QStringLiteral("-g") << QStringLiteral("*.") + extension;
    arguments << QStringLiteral("-g") << QStringLiteral("!.*");
    arguments << QStringLiteral("-e") << kPattern;
    return arguments;
}

// Wall time of one ripgrep process, start to exit, and its count of matching lines.
Run runRipgrep(const QString &ripgrep, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(ripgrep, arguments);
    process.waitForFinished(-1);
    const QByteArray output = process.readAllStandardOutput();
    return Run{double(timer.nsecsElapsed()) / 1e9, output.count('\n')};
}

Run runOurs(const Tree &tree)
{
    QElapsedTimer timer;
    timer.start();
    const MarkupList markups =
        MarkupWatcher::collectMarkups(QUrl::fromLocalFile(tree.path), tree.extensions);
    return Run{double(timer.nsecsElapsed()) / 1e9, markups.size()};
}

// Heap in use on this thread's arena, small blocks and mapped ones: both forms are built here.
std::size_t heapInUse()
{
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The findings as the scan makes them, in memory of their own: a record each with its own text,
// and one path string per file shared by that file's findings.
MarkupList asRecords(const MarkupList &scanned)
{
    MarkupList records;
    records.reserve(scanned.size());
    QHash<QString, QString> pathOfFile;
    for (const Markup &markup : scanned) {
        Markup record = markup;
        record.text = QString(markup.text.constData(), markup.text.size());
        QString &path = pathOfFile[markup.filePath];
        if (path.isNull())
            path = QString(markup.filePath.constData(), markup.filePath.size());
        record.filePath = path;
        records.append(record);
    }
    return records;
}

// What a running watcher holds for the tree's findings: records against the compact store,
// which keeps what it needs once the records are gone.
void reportHeldMemory(const Tree &tree)
{
    const MarkupList scanned =
        MarkupWatcher::collectMarkups(QUrl::fromLocalFile(tree.path), tree.extensions);
    const std::size_t before = heapInUse();
    MarkupList records = asRecords(scanned);
    const std::size_t recordBytes = heapInUse() - before;
    MarkupStore store;
    store.append(records);
    records = MarkupList();
    const std::size_t storeBytes = heapInUse() - before;
    BenchFiles::printLine(
        QStringLiteral("held   %1 findings: %2 kB as records, %3 kB stored compactly (%4)")
            .arg(scanned.size())
            .arg(recordBytes / 1024)
            .arg(storeBytes / 1024)
            .arg(double(storeBytes) / double(std::max<std::size_t>(recordBytes, 1)), 0, 'f', 2));
}

// Files our scan skipped as unreadable or not UTF-8, from the log lines it wrote.
QStringList skippedFiles(qint64 &logOffset)
{
    SprucerLogger::shared().flush();
    QFile log(SprucerLogger::shared().logFilePath());
    QStringList files;
    if (!log.open(QIODevice::ReadOnly))
        return files;
    log.seek(logOffset);
    const QString marker = QStringLiteral("] Failed to read file: ");
    for (const QString &line : QString::fromUtf8(log.readAll()).split(u'\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0)
            files << line.mid(at + marker.size());
    }
    logOffset = log.size();
    return files;
}

// Only our scan, for profiling it alone.
void profileTree(const Tree &tree, int repetitions)
{
    std::vector<double> ours;
    for (int i = 0; i < repetitions; ++i)
        ours.push_back(runOurs(tree).seconds);
    BenchFiles::printLine(
        QStringLiteral("%1: ours median %2 s").arg(tree.path).arg(median(ours), 0, 'f', 4));
}

void benchTree(const Tree &tree, const QString &ripgrep, int repetitions, qint64 &logOffset)
{
    BenchFiles::printLine(QStringLiteral("== %1 (%2)").arg(tree.path, tree.extensions.join(u',')));
    QStringList arguments = ripgrepArguments(tree.extensions);
    arguments << tree.path;

    // Warm the page cache and learn the counts.
    const Run oursWarm = runOurs(tree);
    const QStringList skipped = skippedFiles(logOffset);
    const Run ripgrepWarm = runRipgrep(ripgrep, arguments);

    std::vector<double> ours;
    std::vector<double> theirs;
    for (int i = 0; i < repetitions; ++i) {
        // Alternate who goes first so neither always inherits the other's cache state.
        if (i % 2 == 0) {
            ours.push_back(runOurs(tree).seconds);
            theirs.push_back(runRipgrep(ripgrep, arguments).seconds);
        } else {
            theirs.push_back(runRipgrep(ripgrep, arguments).seconds);
            ours.push_back(runOurs(tree).seconds);
        }
    }
    skippedFiles(logOffset);

    const double oursMedian = median(ours);
    const double theirsMedian = median(theirs);
    BenchFiles::printLine(QStringLiteral("ours   median %1 s  (min %2, max %3, %4 runs)")
                              .arg(oursMedian, 0, 'f', 4)
                              .arg(*std::min_element(ours.begin(), ours.end()), 0, 'f', 4)
                              .arg(*std::max_element(ours.begin(), ours.end()), 0, 'f', 4)
                              .arg(repetitions));
    BenchFiles::printLine(QStringLiteral("rg     median %1 s  (min %2, max %3, %4 runs)")
                              .arg(theirsMedian, 0, 'f', 4)
                              .arg(*std::min_element(theirs.begin(), theirs.end()), 0, 'f', 4)
                              .arg(*std::max_element(theirs.begin(), theirs.end()), 0, 'f', 4)
                              .arg(repetitions));
    BenchFiles::printLine(
        QStringLiteral("ratio  ours/rg = %1").arg(oursMedian / theirsMedian, 0, 'f', 2));

    // ripgrep searches files that are not UTF-8; we skip them (and log them). Count what
    // ripgrep finds in exactly those files to see whether that explains any difference.
    qsizetype inSkipped = 0;
    if (!skipped.isEmpty()) {
        QStringList skippedArguments{QStringLiteral("-n"), QStringLiteral("-e"), kPattern};
        skippedArguments << skipped;
        inSkipped = runRipgrep(ripgrep, skippedArguments).findings;
    }
    BenchFiles::printLine(
        QStringLiteral("findings  ours %1, rg %2; %3 files skipped as not UTF-8 or unreadable, "
                       "rg finds %4 in them")
            .arg(oursWarm.findings)
            .arg(ripgrepWarm.findings)
            .arg(skipped.size())
            .arg(inSkipped));
    const qsizetype unexplained = ripgrepWarm.findings - inSkipped - oursWarm.findings;
    BenchFiles::printLine(unexplained == 0
                              ? QStringLiteral("check  consistent")
                              : QStringLiteral("check  %1 findings unexplained (line breaks other "
                                               "than LF, or files ripgrep takes for binary)")
                                    .arg(unexplained));
    reportHeldMemory(tree);
}

// Builds the synthetic tree with the generator script; empty when that fails.
QString generateTree(const QString &script, const QString &preset, const QString &into)
{
    const QString root = into + QStringLiteral("/tree");
    BenchFiles::printLine(QStringLiteral("generating %1 tree in %2 ...").arg(preset, root));
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("python3"), {script, root, preset});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        BenchFiles::printLine(QStringLiteral("generation failed; skipping that tree"));
        return {};
    }
    return root;
}

} // namespace

int main(int argc, char *argv[])
{
    // Our scan logs unreadable files: keep that out of the user's real log.
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());

    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the markup scan against ripgrep. Each TREE is DIR or DIR=ext,ext,..."));
    parser.addHelpOption();
    const QCommandLineOption repetitionsOption = BenchOptions::repetitions(9);
    const QCommandLineOption ripgrepOption =
        BenchOptions::peer(QStringLiteral("rg"), QStringLiteral("rg"));
    const QCommandLineOption generatorOption = BenchOptions::generator();
    const QCommandLineOption presetOption = BenchOptions::preset(QStringLiteral("medium"));
    const QCommandLineOption oursOnlyOption(QStringLiteral("ours-only"),
                                            QStringLiteral("Time only our scan (for profiling)."));
    parser.addOptions(
        {repetitionsOption, ripgrepOption, generatorOption, presetOption, oursOnlyOption});
    parser.addPositionalArgument(QStringLiteral("TREE"), QStringLiteral("Trees to scan."));
    parser.process(application);

    const QStringList &cppExtensions =
        SupportedFileExtensions::fileExtensions(SupportedFileExtension::cpp);
    std::vector<Tree> trees;
    QTemporaryDir generated;
    if (parser.positionalArguments().isEmpty()) {
        trees.push_back(Tree{QStringLiteral("/usr/include"), cppExtensions});
        if (QFileInfo::exists(parser.value(generatorOption))) {
            const QString root = generateTree(parser.value(generatorOption),
                                              parser.value(presetOption), generated.path());
            if (!root.isEmpty())
                trees.push_back(Tree{root, cppExtensions});
        } else {
            BenchFiles::printLine(QStringLiteral("no generator at %1; only /usr/include")
                                      .arg(parser.value(generatorOption)));
        }
    }
    for (const QString &argument : parser.positionalArguments()) {
        const qsizetype equals = argument.indexOf(u'=');
        trees.push_back(equals < 0
                            ? Tree{argument, cppExtensions}
                            : Tree{argument.left(equals),
                                   argument.mid(equals + 1).split(u',', Qt::SkipEmptyParts)});
    }

    const int repetitions = std::max(1, parser.value(repetitionsOption).toInt());
    BenchFiles::printLine(QStringLiteral("threads: %1").arg(QThread::idealThreadCount()));
    qint64 logOffset = 0;
    for (const Tree &tree : trees) {
        if (parser.isSet(oursOnlyOption))
            profileTree(tree, repetitions);
        else
            benchTree(tree, parser.value(ripgrepOption), repetitions, logOffset);
    }
    return 0;
}
