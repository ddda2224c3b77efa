// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ChangedLines.h"

#include "core/support/UnifiedDiff.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using Change = UnifiedDiff::LineChange;

std::vector<std::string_view> splitLines(const QByteArray &text)
{
    std::vector<std::string_view> lines;
    const std::string_view all(text.constData(), std::size_t(text.size()));
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = all.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? all.size() : end + 1;
        lines.push_back(all.substr(start, next - start));
        start = next;
    }
    return lines;
}

// The longest common run of lines by matching pairs (Hunt and Szymanski): fast where a
// formatter rewrote nearly every line, which makes the edit-distance search slow; slow where
// lines repeat a great deal, where that search is used instead. Empty when too costly.
std::optional<std::vector<Change>> alignedByMatches(const QByteArray &before,
                                                    const QByteArray &after)
{
    const std::vector<std::string_view> a = splitLines(before), b = splitLines(after);
    std::unordered_map<std::string_view, std::vector<int>> positions;
    for (int j = 0; j < int(b.size()); ++j)
        positions[b[std::size_t(j)]].push_back(j);
    std::size_t pairs = 0;
    for (const std::string_view line : a) {
        const auto found = positions.find(line);
        pairs += found == positions.end() ? 0 : found->second.size();
    }
    if (pairs > 16 * (a.size() + b.size()) + 100000)
        return std::nullopt;
    struct Node
    {
        int i, j, previous;
    };
    std::vector<Node> nodes;
    nodes.reserve(pairs);
    std::vector<int> threshold, tail; // per length: the least end in `after`, and its node
    for (int i = 0; i < int(a.size()); ++i) {
        const auto found = positions.find(a[std::size_t(i)]);
        if (found == positions.end())
            continue;
        // Later lines first, so that one line of `before` extends no run it ended itself.
        const std::vector<int> &ends = found->second;
        for (std::size_t n = ends.size(); n-- > 0;) {
            const int j = ends[n];
            const auto at = std::lower_bound(threshold.begin(), threshold.end(), j);
            const auto k = std::size_t(at - threshold.begin());
            if (at != threshold.end() && *at == j)
                continue;
            nodes.push_back({i, j, k > 0 ? tail[k - 1] : -1});
            if (at == threshold.end()) {
                threshold.push_back(j);
                tail.push_back(int(nodes.size()) - 1);
            } else {
                *at = j;
                tail[k] = int(nodes.size()) - 1;
            }
        }
    }
    std::vector<std::pair<qsizetype, qsizetype>> matched;
    for (int node = tail.empty() ? -1 : tail.back(); node >= 0;
         node = nodes[std::size_t(node)].previous)
        matched.emplace_back(nodes[std::size_t(node)].i, nodes[std::size_t(node)].j);
    std::reverse(matched.begin(), matched.end());
    matched.emplace_back(qsizetype(a.size()), qsizetype(b.size())); // the ends meet
    std::vector<Change> changes;
    qsizetype i = 0, j = 0;
    for (const auto &[mi, mj] : matched) {
        if (mi > i || mj > j)
            changes.push_back({i, mi - i, j, mj - j});
        i = mi + 1, j = mj + 1;
    }
    return changes;
}

std::vector<Change> changesOf(const QByteArray &before, const QByteArray &after)
{
    std::optional<std::vector<Change>> aligned = alignedByMatches(before, after);
    return aligned ? std::move(*aligned) : UnifiedDiff::lineChanges(before, after);
}

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
    for (const Change &change : changesOf(baseline, current))
        std::fill_n(touched.begin() + change.after + 1, change.added, 1);
    const auto touches = [&](const Change &change) {
        if (change.removed == 0)
            return touched[std::size_t(change.before)] || touched[std::size_t(change.before + 1)];
        const auto first = touched.begin() + change.before + 1;
        return std::find(first, first + change.removed, 1) != first + change.removed;
    };

    const std::vector<qsizetype> resultStarts = lineStarts(result);
    QByteArray kept;
    kept.reserve(std::max(current.size(), result.size()));
    qsizetype line = 0;
    for (const Change &change : changesOf(current, result)) {
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
