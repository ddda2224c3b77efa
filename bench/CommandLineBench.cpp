// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the command line as a CI job or a script runs it, with the real clang-format:
//  - check: `sprucer check` over 1,000 C++ files against what a CI job would run instead,
//    `xargs -P2 -n20 clang-format --dry-run -Werror`, on the same files in the same round; then
//    a second `sprucer check` of the unchanged tree, which finds the files it knows formatted.
//    Over three trees: every file unformatted, a tree as CI meets it, formatted but for ten
//    files, and one formatted whole;
//  - format: `sprucer format` over the same kind of tree, then a second one over the tree it
//    left, against the first;
//  - list: `sprucer watcher list` with 20 watchers stored (aim: at most 50 ms).
// The runtime folder is in memory, as in a session (on disk, the private copies cost the check
// about a third more). `sprucer` is this build's unless a path is given as the first argument.
#include "AgentHome.h"
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "FormattingHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>

#include <vector>

namespace {

using BenchFiles::median;

constexpr int kFiles = 1000;
constexpr int kWatchers = 20;
constexpr int kRounds = 3;

QTextStream out(stdout);

QByteArray unformattedSource(int seed)
{
    QByteArray text = "#include <vector>\n#include <string>\n";
    for (int f = 0; f < 12; ++f)
        text += "int   function_" + QByteArray::number(seed) + '_' + QByteArray::number(f) +
                "( int a,int b ){std::vector<int> v={a,b ,a+b};int total=0;"
                "for(auto x:v){if(x>0){total+=x;}else{total-=x;}}return total ;}\n";
    return text;
}

QString fileOf(const QString &root, int i)
{
    return root + QStringLiteral("/module%1/file%2.cpp").arg(i / 50).arg(i);
}

void makeTree(const QString &root)
{
    QDir(root).removeRecursively();
    for (int i = 0; i < kFiles; ++i)
        BenchFiles::writeFile(fileOf(root, i), unformattedSource(i));
}

// Formatted by clang-format itself, then `spoilt` files unformatted again.
bool makeFormattedTree(const QString &root, const QString &style, int spoilt)
{
    makeTree(root);
    QProcess format;
    format.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("find \"$0\" -name '*.cpp' -print0 | xargs -0 -P2 -n20 "
                                 "clang-format -i --style=file:\"$1\""),
                  root, style});
    if (!format.waitForFinished(600000) || format.exitCode() != 0)
        return false;
    for (int i = 0; i < spoilt; ++i)
        BenchFiles::writeFile(fileOf(root, i * (kFiles / spoilt)),
                              unformattedSource(i * (kFiles / spoilt)));
    return true;
}

struct Timed
{
    double seconds = -1;
    int status = -1;
};

Timed timed(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {clock.nsecsElapsed() / 1e9, process.exitCode()};
}

Timed peerCheck(const QString &tree, const QString &style, const QProcessEnvironment &environment)
{
    return timed(QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("find \"$0\" -name '*.cpp' -print0 | xargs -0 -P2 -n20 "
                                 "clang-format --dry-run -Werror --style=file:\"$1\""),
                  tree, style},
                 environment);
}

QString figures(const std::vector<double> &values, int decimals = 2)
{
    return QString::number(median(values), 'f', decimals);
}

// `unformatted`: how many files need formatting, all of them or a few.
void benchCheck(const QString &sprucer, const FormattingHome &home,
                const QProcessEnvironment &environment, int unformatted)
{
    const QString tree = home.path() + QStringLiteral("/tree");
    const QString cache = home.path() + QStringLiteral("/cache/Sprucer/formatted-files");
    const QStringList check{QStringLiteral("check"), tree, QStringLiteral("--config"),
                            QStringLiteral("bench")};
    std::vector<double> first, second, peer;
    if (unformatted == kFiles)
        makeTree(tree);
    else if (!makeFormattedTree(tree, home.stylePath, unformatted))
        return;
    const int expected = unformatted > 0 ? 1 : 0;
    for (int round = 0; round < kRounds; ++round) {
        QFile::remove(cache);
        const Timed ours = timed(sprucer, check, environment);
        const Timed again = timed(sprucer, check, environment);
        const Timed theirs = peerCheck(tree, home.stylePath, environment);
        if (ours.status != expected || again.status != expected ||
            (theirs.status == 0) != (expected == 0)) {
            out << "check did not find the unformatted files (status " << ours.status << ", "
                << again.status << ", peer " << theirs.status << ")\n";
            return;
        }
        first.push_back(ours.seconds);
        second.push_back(again.seconds);
        peer.push_back(theirs.seconds);
    }
    out << "check over " << kFiles << " C++ files, " << unformatted << " unformatted (s, median of "
        << kRounds << "): sprucer " << figures(first) << ", xargs -P2 -n20 clang-format --dry-run "
        << figures(peer) << ", ratio " << QString::number(median(first) / median(peer), 'f', 3)
        << " (aim: at most 1.2)\n  second check of the unchanged tree " << figures(second, 3)
        << " s, second/first " << QString::number(median(second) / median(first), 'f', 3)
        << " (aim: at most 0.1)\n"
        << Qt::flush;
}

void benchFormat(const QString &sprucer, const FormattingHome &home,
                 const QProcessEnvironment &environment)
{
    const QString tree = home.path() + QStringLiteral("/format");
    const QStringList format{QStringLiteral("format"), tree, QStringLiteral("--config"),
                             QStringLiteral("bench")};
    std::vector<double> first, second;
    for (int round = 0; round < kRounds; ++round) {
        makeTree(tree);
        const Timed ours = timed(sprucer, format, environment);
        const Timed again = timed(sprucer, format, environment);
        if (ours.status != 0 || again.status != 0) {
            out << "format failed (status " << ours.status << ", " << again.status << ")\n";
            return;
        }
        first.push_back(ours.seconds);
        second.push_back(again.seconds);
    }
    out << "format over " << kFiles << " C++ files (s, median of " << kRounds << "): first "
        << figures(first) << ", second over the tree it left " << figures(second, 3)
        << ", second/first " << QString::number(median(second) / median(first), 'f', 3) << '\n'
        << Qt::flush;
}

void benchList(const QString &sprucer, const QProcessEnvironment &environment, int repetitions)
{
    std::vector<double> milliseconds;
    for (int run = 0; run < repetitions; ++run)
        milliseconds.push_back(
            timed(sprucer, {QStringLiteral("watcher"), QStringLiteral("list")}, environment)
                .seconds *
            1000);
    out << "watcher list, " << kWatchers << " watchers: median " << figures(milliseconds, 1)
        << " ms of " << repetitions << " runs (aim: at most 50)\n"
        << Qt::flush;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const QString sprucer = !arguments.isEmpty() && arguments.first().contains(u'/')
                                ? arguments.first()
                                : QStringLiteral(SPRUCER_EXECUTABLE);
    if (FormattingHome::clangFormat().isEmpty())
        return 1;
    const FormattingHome home;
    QStringList folders;
    for (int i = 0; i < kWatchers; ++i) {
        folders << home.path() + QStringLiteral("/projects/project%1").arg(i);
        QDir().mkpath(folders.last());
    }
    AgentHome::storeWatchers(home, folders);
    QProcessEnvironment environment = AgentHome::environment(home);
    // In memory, as a session's runtime folder is: the formatter's private copies go there.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    const bool all = !arguments.contains(QStringLiteral("check")) &&
                     !arguments.contains(QStringLiteral("format")) &&
                     !arguments.contains(QStringLiteral("list"));
    if (all || arguments.contains(QStringLiteral("list")))
        benchList(sprucer, environment, 15);
    if (all || arguments.contains(QStringLiteral("check"))) {
        for (const int unformatted : {kFiles, 10, 0})
            benchCheck(sprucer, home, environment, unformatted);
    }
    if (all || arguments.contains(QStringLiteral("format")))
        benchFormat(sprucer, home, environment);
    return 0;
}
