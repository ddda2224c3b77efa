// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The changes from one version of a text to another, line by line, written as `diff -u` writes
// them: "--- a/LABEL" and "+++ b/LABEL", then hunks "@@ -l,s +l,s @@" with `context` unchanged
// lines around their changes, and "\ No newline at end of file" after a last line without one.
// Lines are compared as bytes with their line ends, so "\r\n" and "\n" lines differ and any
// encoding passes through as it is.
//
// The changes are as few as possible (Myers' O(ND) comparison, in linear space), so the time
// grows with the size times the number of changes and the memory with the size alone.
namespace UnifiedDiff {

// Empty when the two are the same.
QByteArray of(const QByteArray &before, const QByteArray &after, const QString &label,
              int context = 3);

// A run of `removed` lines of the old text from its line `before` (counted from 0) that the new
// text holds as `added` lines from its line `after`.
struct LineChange
{
    qsizetype before = 0;
    qsizetype removed = 0;
    qsizetype after = 0;
    qsizetype added = 0;
};

// The same changes `of` writes, in order, without context; none when the two are the same.
std::vector<LineChange> lineChanges(const QByteArray &before, const QByteArray &after);

} // namespace UnifiedDiff
