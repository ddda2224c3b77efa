// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The subcommands of the one executable ("sprucer config list", "sprucer check"…), which need
// no display and print for scripts: results on standard output, one clear line on standard
// error for a mistake, and the exit status (0 done, 1 changes found, 2 bad input).
namespace CommandLine {

// Whether `first` (the first argument) names a subcommand.
bool isSubcommand(const QString &first);

// Runs the subcommand `arguments` names (the program's name left out) and returns its status.
int run(const QStringList &arguments);

// The subcommands, for `sprucer --help`.
QString overview();

} // namespace CommandLine
