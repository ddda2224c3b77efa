// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QStringList>

// `sprucer check [PATH...] [--config NAME|ID] [--diff] [--json]`: runs each file's formatter
// without writing the file and prints the files that would change. Status 0 when none would,
// 1 when some would, 2 when a file could not be checked (a formatter missing, a configuration
// refused: in the formatter's own words).
namespace CheckCommand {

CommandReply run(const QStringList &arguments);

} // namespace CheckCommand
