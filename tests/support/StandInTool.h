// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Small shell scripts that stand in for a formatting tool at its interface: they take the
// tool's arguments, rewrite the file in place and talk on standard error like the real tool.
namespace StandInTool {

// Writes an executable `directory/name` that runs `body` under /bin/sh, with `$file` set to
// the last argument (the file to format). Returns the script's path.
QString write(const QString &directory, const QString &name, const QString &body);

// A body line that records the arguments, one a line, into `recordPath`.
QString recordArguments(const QString &recordPath);

// The lines of a text file, without the final empty one.
QStringList readLines(const QString &path);

} // namespace StandInTool
