// SPDX-License-Identifier: GPL-3.0-or-later
// Times opening the configuration editor sheet, from the click to its editor's first paint, on
// a 2,000-line configuration against an empty one, in the same run. Usage: see README.md.
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "PaintWatch.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/support/UserDefaults.h"
#include "gui/configurations/RawXmlFormatterView.h"
#include "gui/editor/CodeEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A clang-format style of `lines` lines, as a long hand-written one looks.
QString longStyle(int lines)
{
    QString text = QStringLiteral("BasedOnStyle: LLVM\n");
    for (int line = 1; line < lines; ++line)
        text += QStringLiteral("# %1: keep the braces of block %1 attached, as the team agreed\n")
                    .arg(line);
    return text;
}

double openMilliseconds(ConfigManagerFactory &store, const ConfigurationItem &item)
{
    QElapsedTimer timer;
    timer.start();
    RawXmlFormatterView sheet(store, item, item.language);
    PaintWatch::NextPaint painted(*sheet.editor()->viewport());
    sheet.show();
    PaintWatch::waitFor([&painted] { return painted.painted; });
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    PaintWatch::useHome(home.path());
    QApplication app(argc, argv);
    const int runs = BenchOptions::repetitionsOnly(app, 15);

    UserDefaults settings(home.filePath(QStringLiteral("Sprucer.conf")));
    ConfigManagerFactory store(settings);
    const ConfigurationItem empty =
        store
            .createConfig(QUuid::createUuid(), QString(), SupportedFileExtension::cpp,
                          QStringLiteral("Empty"))
            .value();
    const ConfigurationItem large =
        store
            .createConfig(QUuid::createUuid(), longStyle(2000), SupportedFileExtension::cpp,
                          QStringLiteral("Large"))
            .value();
    openMilliseconds(store, large); // fonts, lexer and icons are loaded once per process
    std::vector<double> emptyTimes, largeTimes;
    for (int run = 0; run < runs; ++run) {
        // Alternating which goes first keeps a warming cache from favouring one of them.
        if (run % 2) {
            largeTimes.push_back(openMilliseconds(store, large));
            emptyTimes.push_back(openMilliseconds(store, empty));
        } else {
            emptyTimes.push_back(openMilliseconds(store, empty));
            largeTimes.push_back(openMilliseconds(store, large));
        }
    }
    const auto [emptyLow, emptyHigh] = std::minmax_element(emptyTimes.begin(), emptyTimes.end());
    const auto [largeLow, largeHigh] = std::minmax_element(largeTimes.begin(), largeTimes.end());
    BenchFiles::printLine(
        QStringLiteral("Open to first paint (median of %1, ms): empty %2 (%3..%4); "
                       "2,000 lines %5 (%6..%7); ratio %8")
            .arg(runs)
            .arg(BenchFiles::median(emptyTimes), 0, 'f', 1)
            .arg(*emptyLow, 0, 'f', 1)
            .arg(*emptyHigh, 0, 'f', 1)
            .arg(BenchFiles::median(largeTimes), 0, 'f', 1)
            .arg(*largeLow, 0, 'f', 1)
            .arg(*largeHigh, 0, 'f', 1)
            .arg(BenchFiles::median(largeTimes) / BenchFiles::median(emptyTimes), 0, 'f', 2));
    return 0;
}
