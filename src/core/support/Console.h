// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// Lines for whoever started Sprucer from a terminal (standard output). Any thread may write;
// each line is written whole.
namespace Console {

using Sink = std::function<void(const QString &line)>;

void writeLine(const QString &line);

// Sends the lines somewhere else, e.g. into a test's list; an empty sink restores standard
// output. The sink is called under a lock, so it needs none of its own.
void setSink(Sink sink);

} // namespace Console
