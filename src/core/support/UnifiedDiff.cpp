// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UnifiedDiff.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// A text's lines, each with its line end; only the last may lack one.
struct Lines
{
    std::vector<std::string_view> text;
    std::vector<int> ids; // equal lines of both texts share an id
};

Lines split(const QByteArray &bytes)
{
    Lines lines;
    const std::string_view all(bytes.constData(), std::size_t(bytes.size()));
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = all.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? all.size() : end + 1;
        lines.text.push_back(all.substr(start, next - start));
        start = next;
    }
    return lines;
}

void number(Lines &before, Lines &after)
{
    std::unordered_map<std::string_view, int> ids;
    for (Lines *lines : {&before, &after}) {
        lines->ids.reserve(lines->text.size());
        for (const std::string_view line : lines->text)
            lines->ids.push_back(ids.emplace(line, int(ids.size())).first->second);
    }
}

// Which lines of one text are not in the other, with an unchanged line before the first and
// after the last so that scans need no bounds checks: line i is at i + 1.
class Marks
{
public:
    explicit Marks(std::size_t lines)
        : m_changed(lines + 2, 0)
    {}
    char &operator[](std::ptrdiff_t line) { return m_changed[std::size_t(line + 1)]; }
    char operator[](std::ptrdiff_t line) const { return m_changed[std::size_t(line + 1)]; }
    void set(std::ptrdiff_t from, std::ptrdiff_t to)
    {
        std::fill(m_changed.begin() + from + 1, m_changed.begin() + to + 1, 1);
    }
    std::ptrdiff_t size() const { return std::ptrdiff_t(m_changed.size()) - 2; }

private:
    std::vector<char> m_changed;
};

// Marks the lines of `a` that go and those of `b` that come, as few as possible. Each step
// finds the middle of an optimal path from both ends at once and solves the two halves.
class Comparison
{
public:
    Comparison(const std::vector<int> &a, const std::vector<int> &b)
        : removed(a.size())
        , added(b.size())
        , m_a(a)
        , m_b(b)
    {}

    void compare(std::ptrdiff_t aLow, std::ptrdiff_t aHigh, std::ptrdiff_t bLow,
                 std::ptrdiff_t bHigh);

    Marks removed;
    Marks added;

private:
    struct Point
    {
        std::ptrdiff_t a = -1;
        std::ptrdiff_t b = -1;
    };
    Point middle(std::ptrdiff_t aLow, std::ptrdiff_t aHigh, std::ptrdiff_t bLow,
                 std::ptrdiff_t bHigh) const;

    const std::vector<int> &m_a;
    const std::vector<int> &m_b;
};

void Comparison::compare(std::ptrdiff_t aLow, std::ptrdiff_t aHigh, std::ptrdiff_t bLow,
                         std::ptrdiff_t bHigh)
{
    while (aLow < aHigh && bLow < bHigh && m_a[aLow] == m_b[bLow])
        ++aLow, ++bLow;
    while (aLow < aHigh && bLow < bHigh && m_a[aHigh - 1] == m_b[bHigh - 1])
        --aHigh, --bHigh;
    const Point split = aLow == aHigh || bLow == bHigh ? Point{} : middle(aLow, aHigh, bLow, bHigh);
    const bool halves = split.a >= 0 && !(split.a == aLow && split.b == bLow) &&
                        !(split.a == aHigh && split.b == bHigh);
    if (!halves) { // one side is empty, or nothing is shared
        removed.set(aLow, aHigh);
        added.set(bLow, bHigh);
        return;
    }
    compare(aLow, split.a, bLow, split.b);
    compare(split.a, aHigh, split.b, bHigh);
}

// The furthest reach (along `a`) on each diagonal k = x - y of the paths with d edits, from one
// corner of the comparison; diagonals that left the grid are trimmed from the range.
struct Frontier
{
    explicit Frontier(std::ptrdiff_t maxD)
        : offset(maxD + 1)
        , reach(std::size_t(2 * offset + 1), -1)
    {
        at(1) = 0;
    }
    std::ptrdiff_t &at(std::ptrdiff_t k) { return reach[std::size_t(offset + k)]; }
    // The reach on diagonal k, or -1 when it was not reached yet.
    std::ptrdiff_t reached(std::ptrdiff_t k) const
    {
        return k < -offset || k > offset ? -1 : reach[std::size_t(offset + k)];
    }

    // Extends diagonal k by one edit and the run of equal lines after it; its reach, or -1 once
    // it left the grid.
    template <class Same>
    std::ptrdiff_t advance(std::ptrdiff_t d, std::ptrdiff_t k, std::ptrdiff_t n, std::ptrdiff_t m,
                           Same same)
    {
        std::ptrdiff_t x = k == -d || (k != d && at(k - 1) < at(k + 1)) ? at(k + 1) : at(k - 1) + 1;
        std::ptrdiff_t y = x - k;
        while (x < n && y < m && same(x, y))
            ++x, ++y;
        at(k) = x;
        if (x > n)
            trimmedHigh += 2;
        else if (y > m)
            trimmedLow += 2;
        return x > n || y > m ? -1 : x;
    }

    std::ptrdiff_t offset;
    std::vector<std::ptrdiff_t> reach;
    std::ptrdiff_t trimmedLow = 0;
    std::ptrdiff_t trimmedHigh = 0;
};

// Paths grow from both corners, one edit at a time, until they overlap on a diagonal: there an
// optimal path crosses, and the problem splits in two.
Comparison::Point Comparison::middle(std::ptrdiff_t aLow, std::ptrdiff_t aHigh, std::ptrdiff_t bLow,
                                     std::ptrdiff_t bHigh) const
{
    const std::ptrdiff_t n = aHigh - aLow, m = bHigh - bLow, maxD = (n + m + 1) / 2;
    const std::ptrdiff_t delta = n - m;
    const bool oddDelta = delta % 2 != 0;
    Frontier forward(maxD), backward(maxD);
    const auto ahead = [&](std::ptrdiff_t x, std::ptrdiff_t y) {
        return m_a[aLow + x] == m_b[bLow + y];
    };
    const auto behind = [&](std::ptrdiff_t x, std::ptrdiff_t y) {
        return m_a[aHigh - 1 - x] == m_b[bHigh - 1 - y];
    };
    for (std::ptrdiff_t d = 0; d < maxD; ++d) {
        for (std::ptrdiff_t k = -d + forward.trimmedLow; k <= d - forward.trimmedHigh; k += 2) {
            const std::ptrdiff_t x = forward.advance(d, k, n, m, ahead);
            const std::ptrdiff_t other = backward.reached(delta - k);
            if (oddDelta && x >= 0 && other >= 0 && x >= n - other)
                return {aLow + x, bLow + x - k};
        }
        for (std::ptrdiff_t k = -d + backward.trimmedLow; k <= d - backward.trimmedHigh; k += 2) {
            const std::ptrdiff_t x = backward.advance(d, k, n, m, behind);
            const std::ptrdiff_t other = forward.reached(delta - k);
            if (!oddDelta && x >= 0 && other >= 0 && other >= n - x)
                return {aLow + other, bLow + other - (delta - k)};
        }
    }
    return {};
}

// Among equally short ways to mark a run of lines, the one diff shows: each run slides up to
// join the changes before it, then down as far as it goes (joining those after it), and back
// up to end where a run of the other text ends, if it passed one.
void slide(Marks &changed, const Marks &other, const std::vector<int> &ids)
{
    const std::ptrdiff_t end = changed.size();
    std::ptrdiff_t i = 0, j = 0;
    while (true) {
        while (i < end && !changed[i]) {
            while (other[j++])
                ;
            ++i;
        }
        if (i == end)
            return;
        std::ptrdiff_t start = i, length = 0, corresponding = end;
        while (changed[++i])
            ;
        while (other[j])
            ++j;
        do {
            length = i - start;
            while (start > 0 && ids[std::size_t(start - 1)] == ids[std::size_t(i - 1)]) {
                changed[--start] = 1;
                changed[--i] = 0;
                while (changed[start - 1])
                    --start;
                while (other[--j])
                    ;
            }
            corresponding = other[j - 1] ? i : end;
            while (i != end && ids[std::size_t(start)] == ids[std::size_t(i)]) {
                changed[start++] = 0;
                changed[i++] = 1;
                while (changed[i])
                    ++i;
                while (other[++j])
                    corresponding = i;
            }
        } while (length != i - start);
        while (corresponding < i) {
            changed[--start] = 1;
            changed[--i] = 0;
            while (other[--j])
                ;
        }
    }
}

// A run of removed lines of the old text and added lines of the new one, at the same place.
struct Change
{
    std::ptrdiff_t a = 0;
    std::ptrdiff_t removed = 0;
    std::ptrdiff_t b = 0;
    std::ptrdiff_t added = 0;
};

std::vector<Change> changesOf(const Comparison &comparison)
{
    std::vector<Change> changes;
    const std::ptrdiff_t n = comparison.removed.size();
    const std::ptrdiff_t m = comparison.added.size();
    std::ptrdiff_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && !comparison.removed[i] && !comparison.added[j]) {
            ++i, ++j;
            continue;
        }
        Change change{i, 0, j, 0};
        while (i < n && comparison.removed[i])
            ++i;
        while (j < m && comparison.added[j])
            ++j;
        change.removed = i - change.a;
        change.added = j - change.b;
        if (change.removed == 0 && change.added == 0)
            break; // unreachable: both texts keep as many lines
        changes.push_back(change);
    }
    return changes;
}

// "l,s" as diff writes it: "l" alone for one line, and the line before for none.
QByteArray range(std::ptrdiff_t start, std::ptrdiff_t count)
{
    if (count == 0)
        return QByteArray::number(qint64(start)) + ",0";
    if (count == 1)
        return QByteArray::number(qint64(start) + 1);
    return QByteArray::number(qint64(start) + 1) + ',' + QByteArray::number(qint64(count));
}

void appendLine(QByteArray &out, char mark, std::string_view line)
{
    out += mark;
    out.append(line.data(), qsizetype(line.size()));
    if (line.empty() || line.back() != '\n')
        out += "\n\\ No newline at end of file\n";
}

// Writes the hunk of changes [first, last], with `context` lines around them.
void appendHunk(QByteArray &out, const Lines &before, const Lines &after, const Change *first,
                const Change *last, std::ptrdiff_t context)
{
    const std::ptrdiff_t aStart = std::max<std::ptrdiff_t>(0, first->a - context);
    const std::ptrdiff_t bStart = first->b - (first->a - aStart);
    const auto n = std::ptrdiff_t(before.text.size());
    const std::ptrdiff_t aEnd = std::min(n, last->a + last->removed + context);
    const std::ptrdiff_t bEnd = last->b + last->added + (aEnd - last->a - last->removed);
    out += "@@ -" + range(aStart, aEnd - aStart) + " +" + range(bStart, bEnd - bStart) + " @@\n";
    std::ptrdiff_t a = aStart;
    for (const Change *change = first; change <= last; ++change) {
        for (; a < change->a; ++a)
            appendLine(out, ' ', before.text[std::size_t(a)]);
        for (std::ptrdiff_t i = 0; i < change->removed; ++i)
            appendLine(out, '-', before.text[std::size_t(a++)]);
        for (std::ptrdiff_t i = 0; i < change->added; ++i)
            appendLine(out, '+', after.text[std::size_t(change->b + i)]);
    }
    for (; a < aEnd; ++a)
        appendLine(out, ' ', before.text[std::size_t(a)]);
}

} // namespace

namespace UnifiedDiff {

namespace {

std::vector<Change> compared(Lines &old, Lines &now)
{
    number(old, now);
    Comparison comparison(old.ids, now.ids);
    comparison.compare(0, std::ptrdiff_t(old.ids.size()), 0, std::ptrdiff_t(now.ids.size()));
    slide(comparison.removed, comparison.added, old.ids);
    slide(comparison.added, comparison.removed, now.ids);
    return changesOf(comparison);
}

} // namespace

std::vector<LineChange> lineChanges(const QByteArray &before, const QByteArray &after)
{
    Lines old = split(before), now = split(after);
    std::vector<LineChange> changes;
    for (const Change &change : compared(old, now))
        changes.push_back({qsizetype(change.a), qsizetype(change.removed), qsizetype(change.b),
                           qsizetype(change.added)});
    return changes;
}

QByteArray of(const QByteArray &before, const QByteArray &after, const QString &label, int context)
{
    Lines old = split(before), now = split(after);
    const std::vector<Change> changes = compared(old, now);
    if (changes.empty())
        return {};
    const QByteArray name = label.toUtf8();
    QByteArray out = "--- a/" + name + "\n+++ b/" + name + '\n';
    const std::ptrdiff_t lines = std::max(0, context);
    // Changes closer than twice the context share a hunk, as their contexts would touch.
    std::size_t first = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const bool ends = i + 1 == changes.size() ||
                          changes[i + 1].a - (changes[i].a + changes[i].removed) > 2 * lines;
        if (ends) {
            appendHunk(out, old, now, &changes[first], &changes[i], lines);
            first = i + 1;
        }
    }
    return out;
}

} // namespace UnifiedDiff
