// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The part of a formatter's result that touches the lines a user changed, for watchers that
// leave the rest of a file as it was committed. Lines count as changed when they were added or
// modified since `baseline` (the last commit's version). Each run of lines the tool changed is
// taken whole or not at all: whole when it touches a changed line (an insertion, when it sits
// next to one), so what is taken is what the tool writes for those lines.
namespace ChangedLines {

QByteArray keep(const QByteArray &current, const QByteArray &result, const QByteArray &baseline);

} // namespace ChangedLines
