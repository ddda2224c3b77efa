// SPDX-License-Identifier: GPL-3.0-or-later
// Times the activity chart's repaint after a recorded fix, over a full year of fixes in four
// languages, against repainting an empty chart and a plain widget of the chart's size, in the
// same run; and, apart, the statistics' own write of the records, which a recorded fix includes.
// Usage: see README.md.
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "PaintWatch.h"
#include "YearOfFixes.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/UserDefaults.h"
#include "gui/statistics/ContributionChart.h"
#include "gui/statistics/StatisticsView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

void showExposed(QWidget &widget)
{
    widget.show();
    for (int i = 0; i < 500 && !(widget.windowHandle() && widget.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents();
}

// What is timed: a change, and the repaint of a widget when there is one.
struct Case
{
    const char *name;
    QWidget *widget;
    std::function<void()> change;
    std::vector<double> times;
};

// From the change to the end of the paint it causes; repaint() paints at once.
double milliseconds(const Case &timed)
{
    QElapsedTimer timer;
    timer.start();
    timed.change();
    if (timed.widget)
        timed.widget->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
}

QString figures(const Case &timed)
{
    const auto [low, high] = std::minmax_element(timed.times.begin(), timed.times.end());
    return QStringLiteral("%1 %2 (%3..%4)")
        .arg(QLatin1String(timed.name))
        .arg(BenchFiles::median(timed.times), 0, 'f', 3)
        .arg(*low, 0, 'f', 3)
        .arg(*high, 0, 'f', 3);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    PaintWatch::useHome(home.path());
    QApplication app(argc, argv);
    const int runs = BenchOptions::repetitionsOnly(app, 301);

    UserDefaults settings(home.filePath(QStringLiteral("Sprucer.conf")));
    CodeFixStatistics statistics(settings);
    statistics.setDailyFixes(YearOfFixes::records());
    StatisticsView view(statistics);
    view.resize(1100, 400); // the whole chart in view: every square is painted
    showExposed(view);
    ContributionChart &chart = *view.chart();
    ContributionChart empty({}, StatisticsView::chartRows);
    showExposed(empty);
    QWidget plain;
    plain.setFixedSize(chart.size());
    showExposed(plain);

    int fix = 0;
    std::vector<Case> cases = {
        {"recorded fix",
         &chart,
         [&] { statistics.recordFix(YearOfFixes::languages[fix++ % 4]); },
         {}},
        {"the chart's part (recount)",
         &chart,
         [&] { chart.setFixes(statistics.lastYearFixes()); },
         {}},
        {"empty chart", &empty, [&] { empty.setFixes({}); }, {}},
        {"plain widget", &plain, [] {}, {}},
        {"the statistics' write alone", nullptr, [&] { statistics.saveStatistics(); }, {}},
    };
    for (Case &timed : cases)
        milliseconds(timed); // caches and glyphs, once
    for (int run = 0; run < runs; ++run) {
        // Rotating which goes first keeps a warming cache from favouring one of them.
        for (size_t i = 0; i < cases.size(); ++i) {
            Case &timed = cases[(run + i) % cases.size()];
            timed.times.push_back(milliseconds(timed));
        }
    }
    BenchFiles::printLine(
        QStringLiteral("Change and repaint, %1 x %2 px, %3 records (median of %4, ms):")
            .arg(chart.width())
            .arg(chart.height())
            .arg(statistics.dailyFixes().size())
            .arg(runs));
    for (const Case &timed : cases)
        BenchFiles::printLine(QStringLiteral("  ") + figures(timed));
    const double recorded = BenchFiles::median(cases[0].times);
    const double recounted = BenchFiles::median(cases[1].times);
    BenchFiles::printLine(
        QStringLiteral("Ratios to the empty chart: recorded fix %1, the chart's part %2; "
                       "to the plain widget: %3, %4")
            .arg(recorded / BenchFiles::median(cases[2].times), 0, 'f', 2)
            .arg(recounted / BenchFiles::median(cases[2].times), 0, 'f', 2)
            .arg(recorded / BenchFiles::median(cases[3].times), 0, 'f', 2)
            .arg(recounted / BenchFiles::median(cases[3].times), 0, 'f', 2));
    return 0;
}
