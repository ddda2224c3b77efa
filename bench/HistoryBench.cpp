// SPDX-License-Identifier: GPL-3.0-or-later
// Times what the history of fixes costs, in one run:
//  - save to formatted of a 2,000-line C++ file with the history kept against not kept,
//    the saves taking turns, with the real clang-format;
//  - the History screen over 1,000 fixes: from making it to its list's first paint, and one
//    fix of a 5,000-line file selected to its diff's paint.
// Usage: see README.md.
#include "BenchFiles.h"
#include "FormattingHome.h"
#include "PaintWatch.h"
#include "core/history/FixHistoryModel.h"
#include "core/history/FixJournal.h"
#include "core/services/CoreServices.h"
#include "core/services/FixUndo.h"
#include "core/watching/FixPipeline.h"
#include "gui/editor/CodeEditor.h"
#include "gui/history/HistoryView.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

using BenchFiles::median;
using BenchFiles::readFile;
using BenchFiles::writeFile;

QByteArray unformattedLines(int lines, int seed)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += "int   f_" + QByteArray::number(seed) + '_' + QByteArray::number(i) +
                "( int a,int b ){return a+b ;}\n";
    return text;
}

FixOutcome changed(const QString &path, const QByteArray &before, const QByteArray &after)
{
    FixOutcome outcome;
    outcome.path = path;
    outcome.result = FixOutcome::Result::changed;
    outcome.contentBefore = before;
    outcome.contentAfter = after;
    outcome.digestBefore = QCryptographicHash::hash(before, QCryptographicHash::Sha256);
    outcome.digestAfter = QCryptographicHash::hash(after, QCryptographicHash::Sha256);
    return outcome;
}

// From the close of a new file in the watched folder to its formatted content on disk.
double saveToFormatted(const QString &path, const QByteArray &unformatted,
                       const QByteArray &expected)
{
    QElapsedTimer timer;
    writeFile(path, unformatted);
    timer.start();
    QDeadlineTimer deadline(20000);
    while (readFile(path) != expected && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(500);
    }
    return timer.nsecsElapsed() / 1e6;
}

void benchSave(const FormattingHome &home, int reps)
{
    const QString root = home.path() + QStringLiteral("/save");
    QDir().mkpath(root);
    CoreServices::Options options;
    options.settings = &home.settings();
    CoreServices core(Platform::services(), std::move(options));
    const CodeWatcherModel watcher =
        CodeWatcherModel::make(QStringLiteral("bench"), QUrl::fromLocalFile(root + u'/'),
                               SupportedFileExtension::cpp, home.configurationId);
    if (!core.registry().addWatcher(watcher)) {
        std::printf("cannot watch %s\n", qPrintable(root));
        return;
    }
    int finished = 0;
    QObject::connect(&core.pipeline(), &FixPipeline::fileFinished, [&finished] { ++finished; });
    std::vector<double> kept, notKept;
    const QString alone = home.path() + QStringLiteral("/alone.cpp");
    for (int i = 0; i < 2 * reps; ++i) {
        const bool keep = i % 2 == 0;
        const QByteArray unformatted = unformattedLines(2000, i);
        writeFile(alone, unformatted);
        QProcess::execute(
            QStringLiteral("clang-format"),
            {QStringLiteral("-i"), QStringLiteral("-style=file:") + home.stylePath, alone});
        core.journal().setEnabled(keep);
        // A new file each time: no save lands in the echo window of the one before.
        const double ms = saveToFormatted(root + QStringLiteral("/save%1.cpp").arg(i), unformatted,
                                          readFile(alone));
        (keep ? kept : notKept).push_back(ms);
        // Its outcome reaches the keepers after the file is in place: it must be kept, or
        // not, before the switch turns.
        PaintWatch::waitFor([&finished, i] { return finished == i + 1; });
        core.journal().flush();
    }
    const double on = median(kept), off = median(notKept);
    std::printf("Save to formatted, 2,000 lines (median of %d, ms): history kept %.1f, not kept "
                "%.1f, ratio %.3f (aim <= 1.05); without the 1.0 s coalescing %.1f / %.1f = "
                "%.3f; fixes kept %lld of %d\n",
                reps, on, off, on / off, on - 1000, off - 1000, (on - 1000) / (off - 1000),
                qint64(core.journal().fixes().size()), reps);
}

// The history's own work for one fix of the file, on its thread: the diff, the compression and
// the append.
void benchKeepOne(const QString &folder, int reps)
{
    FixJournal journal(folder);
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        const QByteArray before = unformattedLines(2000, i);
        QByteArray after = before;
        after.replace("( int a,int b ){return a+b ;}", "(int a, int b) { return a + b; }");
        QElapsedTimer timer;
        timer.start();
        journal.record(changed(QStringLiteral("/src/save%1.cpp").arg(i), before, after), {}, {});
        journal.flush();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("One fix of 2,000 lines kept, every line changed (median of %d, ms): %.1f, on the "
                "history's own thread\n",
                reps, median(times));
}

// 1,000 fixes over ten days, the newest of a 5,000-line file with a change every other line.
quint64 fillJournal(FixJournal &journal)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 999; ++i) {
        journal.setClock([now, i] { return now.addSecs(-60LL * 15 * (999 - i)); });
        const QByteArray before = unformattedLines(40, i);
        journal.record(
            changed(QStringLiteral("/src/project/module%1/file%2.cpp").arg(i % 20).arg(i), before,
                    before.toUpper()),
            QStringLiteral("project"), QStringLiteral("LLVM"));
    }
    QByteArray before, after;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray line =
            "int value_" + QByteArray::number(i) + " = " + QByteArray::number(i);
        before += line + (i % 2 ? ";\n" : " ;\n");
        after += line + ";\n";
    }
    journal.setClock([now] { return now; });
    journal.record(changed(QStringLiteral("/src/project/large.cpp"), before, after),
                   QStringLiteral("project"), QStringLiteral("LLVM"));
    journal.flush();
    return journal.fixes().first().id;
}

void benchScreen(int reps)
{
    QTemporaryDir home;
    PaintWatch::useHome(home.path());
    const QString folder = home.filePath(QStringLiteral("history"));
    FixJournal filled(folder);
    const quint64 large = fillJournal(filled);
    std::vector<double> open, diff;
    for (int i = 0; i < reps; ++i) {
        QElapsedTimer timer;
        timer.start();
        // As at the first open after a start: the journal is read from its file.
        FixJournal journal(folder);
        FixUndo undo(journal);
        HistoryView view(journal, undo);
        view.resize(1000, 700);
        PaintWatch::NextPaint listed(*view.list()->viewport(),
                                     [&view] { return view.model()->rowCount() > 1000; });
        view.show();
        PaintWatch::waitFor([&listed] { return listed.painted; });
        open.push_back(timer.nsecsElapsed() / 1e6);

        PaintWatch::NextPaint shown(*view.diffView()->viewport());
        timer.restart();
        view.selectFix(large);
        PaintWatch::waitFor([&shown] { return shown.painted; });
        diff.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf(
        "History screen, %lld fixes (median of %d, ms): open, journal read from its file, "
        "to painted list %.1f (aim <= 50); a 5,000-line fix's diff to its paint %.1f (aim <= 30)\n",
        qint64(filled.fixes().size()), reps, median(open), median(diff));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList what = app.arguments().mid(1);
    const bool all = what.isEmpty();
    if (all || what.contains(QStringLiteral("screen")))
        benchScreen(9);
    if (all || what.contains(QStringLiteral("save"))) {
        if (FormattingHome::clangFormat().isEmpty())
            return 1;
        FormattingHome home;
        benchSave(home, 21);
        benchKeepOne(home.path() + QStringLiteral("/kept"), 11);
    }
    return 0;
}
