// SPDX-License-Identifier: GPL-3.0-or-later
// Times the TODO screen on 10,000 markups in 1,000 files over 3 watchers against the same steps
// on 90 markups, in the same run: the load, the tree and the first paint; one keystroke of
// search to its repaint; one file's notes changed to the open screen's repaint; the screen shown
// again after a save changed notes while it was hidden. Usage: see README.md.
#include "BenchFiles.h"
#include "PaintWatch.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/markups/MarkupIndex.h"
#include "core/markups/MarkupTreeModel.h"
#include "core/model/FixOutcome.h"
#include "core/services/CoreServices.h"
#include "core/watching/MarkupsViewModel.h"
#include "core/watching/MonitorRegistry.h"
#include "gui/markups/MarkupsView.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>
#include <vector>

namespace {

constexpr int kWatchers = 3;
constexpr int kRuns = 9;

// `files` files per watcher, `perFile` notes in each, spread over a few folders.
QList<CodeWatcherModel> makeProjects(const QString &root, const QString &tag, int files,
                                     int perFile, MonitorRegistry &registry,
                                     const QUuid &configuration)
{
    QList<CodeWatcherModel> watchers;
    for (int w = 0; w < kWatchers; ++w) {
        const QString project = root + QStringLiteral("/%1-%2").arg(tag).arg(w);
        for (int f = 0; f < files; ++f) {
            QByteArray text;
            for (int n = 0; n < perFile; ++n)
                text += (n % 3 ? "// TODO: check the bounds of item " : "// FIXME: handle case ") +
                        QByteArray::number(n) + "\nint value" + QByteArray::number(n) + ";\n";
            BenchFiles::writeFile(project + QStringLiteral("/src/m%1/f%2.swift").arg(f % 20).arg(f),
                                  text);
        }
        CodeWatcherModel watcher =
            CodeWatcherModel::make(tag + QString::number(w), QUrl::fromLocalFile(project + u'/'),
                                   SupportedFileExtension::swift, configuration);
        watcher.isActivated = true;
        if (const AddWatcherResult added = registry.addWatcher(watcher); !added)
            qFatal("cannot watch %s: %s", qPrintable(project),
                   qPrintable(added.error().error.description));
        watchers << watcher;
    }
    return watchers;
}

struct Times
{
    std::vector<double> open;
    std::vector<double> keystroke;
    std::vector<double> noteChanged;
    std::vector<double> reopened;
};

// A file of the first watcher with notes, its notes as a save would leave them: a different
// text on each run, so each is a change.
FixOutcome savedNotes(const MonitorRegistry &registry, const MarkupIndex &markups, int run)
{
    QUuid watcherId;
    for (const MonitorEntry &entry : registry.monitors()) {
        if (!markups.of(entry.watcher.id).isEmpty()) {
            watcherId = entry.watcher.id;
            break;
        }
    }
    MarkupList notes{markups.of(watcherId).at(0)};
    notes[0].text = QStringLiteral("changed %1").arg(run);
    FixOutcome outcome;
    outcome.watcherId = watcherId;
    outcome.path = notes[0].filePath;
    outcome.markups = notes;
    outcome.lastOfDelivery = true;
    return outcome;
}

Times measure(MonitorRegistry &registry, MarkupIndex &markups)
{
    Times times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        MarkupsView view(registry, markups);
        view.resize(1000, 700);
        // The first paint with the rows in: the screen loads on the turn after it is made.
        PaintWatch::NextPaint loaded(*view.list()->viewport(),
                                     [&view] { return view.model().rowCount() > 0; });
        view.show();
        PaintWatch::waitFor([&loaded] { return loaded.painted; });
        times.open.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        PaintWatch::NextPaint searched(*view.list()->viewport());
        view.searchField()->setText(QStringLiteral("h"));
        PaintWatch::waitFor([&searched] { return searched.painted; });
        times.keystroke.push_back(double(timer.nsecsElapsed()) / 1e6);

        // As the pipeline hands over a save's outcome on the main thread.
        const FixOutcome saved = savedNotes(registry, markups, run);
        timer.restart();
        bool rebuilt = false; // after the screen's own rebuild, connected first
        QObject::connect(&view.viewModel(), &MarkupsViewModel::groupedMarkupsChanged, &view,
                         [&rebuilt] { rebuilt = true; });
        PaintWatch::NextPaint changed(*view.list()->viewport(), [&rebuilt] { return rebuilt; });
        markups.apply(saved);
        PaintWatch::waitFor([&changed] { return changed.painted; });
        times.noteChanged.push_back(double(timer.nsecsElapsed()) / 1e6);
        const QModelIndexList found = view.model().match(
            view.model().index(0, 0), MarkupTreeModel::markupTextRole,
            saved.markups->constFirst().text, 1, Qt::MatchExactly | Qt::MatchRecursive);
        if (found.isEmpty())
            qFatal("the changed note is not listed");

        // Another screen chosen, a save meanwhile, then the TODO screen again.
        view.hide();
        markups.apply(savedNotes(registry, markups, run + kRuns));
        timer.restart();
        PaintWatch::NextPaint reopened(*view.list()->viewport());
        view.show();
        PaintWatch::waitFor([&reopened] { return reopened.painted; });
        times.reopened.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return times;
}

void print(const char *what, const std::vector<double> &small, const std::vector<double> &large)
{
    const double s = BenchFiles::median(small), l = BenchFiles::median(large);
    std::printf("%s (median of %d, ms): 90 markups %.1f; 10,000 markups %.1f; ratio %.2f\n", what,
                kRuns, s, l, l / s);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    PaintWatch::useHome(home.path());
    QApplication app(argc, argv);
    CoreServices core(Platform::services());
    MonitorRegistry &registry = core.registry();
    ConfigManagerFactory &configurations = core.configurations();
    const QUuid style = QUuid::createUuid();
    configurations.createConfig(style, QStringLiteral("line_length: 120\n"),
                                SupportedFileExtension::swift, QStringLiteral("Style"));
    auto total = [&registry, &core] {
        qsizetype markups = 0;
        for (const MonitorEntry &entry : registry.monitors())
            markups += core.markups().of(entry.watcher.id).size();
        return markups;
    };

    const QList<CodeWatcherModel> small =
        makeProjects(home.path(), QStringLiteral("small"), 10, 3, registry, style); // 90
    PaintWatch::waitFor([&] { return total() == 90; });
    const Times few = measure(registry, core.markups());
    for (const CodeWatcherModel &watcher : small)
        (void)registry.stopWatcher(watcher); // registered just before: it cannot fail
    makeProjects(home.path(), QStringLiteral("large"), 334, 10, registry, style); // 10,020
    PaintWatch::waitFor([&] { return total() == 10020; });
    const Times many = measure(registry, core.markups());

    print("Open, load, tree and first paint", few.open, many.open);
    print("One keystroke of search to repaint", few.keystroke, many.keystroke);
    print("One file's notes changed to repaint", few.noteChanged, many.noteChanged);
    print("Shown again after a save while hidden", few.reopened, many.reopened);
    registry.shutdown();
    return 0;
}
