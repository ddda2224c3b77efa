// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ChangedLines.h"

#include "core/support/UnifiedDiff.h"

#include <algorithm>
#include <vector>

namespace {

// Where each line starts, and the text's end after the last.
std::vector<qsizetype> lineStarts(const QByteArray &text)
{
    std::vector<qsizetype> starts{0};
    for (qsizetype at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1))
        starts.push_back(at + 1);
    if (starts.back() != text.size())
        starts.push_back(text.size());
    return starts;
}

void appendLines(QByteArray &out, const QByteArray &text, const std::vector<qsizetype> &starts,
                 qsizetype from, qsizetype to)
{
    if (to > from)
        out.append(text.constData() + starts[std::size_t(from)],
                   starts[std::size_t(to)] - starts[std::size_t(from)]);
}

} // namespace

namespace ChangedLines {

QByteArray keep(const QByteArray &current, const QByteArray &result, const QByteArray &baseline)
{
    const std::vector<qsizetype> starts = lineStarts(current);
    const auto lines = qsizetype(starts.size()) - 1;
    std::vector<char> touched(std::size_t(lines) + 2, 0); // line i at i + 1, unchanged borders
    for (const UnifiedDiff::LineChange &change : UnifiedDiff::lineChanges(baseline, current))
        std::fill_n(touched.begin() + change.after + 1, change.added, 1);
    const auto touches = [&](const UnifiedDiff::LineChange &change) {
        if (change.removed == 0)
            return touched[std::size_t(change.before)] || touched[std::size_t(change.before + 1)];
        const auto first = touched.begin() + change.before + 1;
        return std::find(first, first + change.removed, 1) != first + change.removed;
    };

    const std::vector<qsizetype> resultStarts = lineStarts(result);
    QByteArray kept;
    kept.reserve(std::max(current.size(), result.size()));
    qsizetype line = 0;
    for (const UnifiedDiff::LineChange &change : UnifiedDiff::lineChanges(current, result)) {
        appendLines(kept, current, starts, line, change.before);
        if (touches(change))
            appendLines(kept, result, resultStarts, change.after, change.after + change.added);
        else
            appendLines(kept, current, starts, change.before, change.before + change.removed);
        line = change.before + change.removed;
    }
    appendLines(kept, current, starts, line, lines);
    return kept;
}

} // namespace ChangedLines
