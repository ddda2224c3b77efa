// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QStringList>

// `sprucer history [--json] [--limit N] [PATH]`: the fixes kept, newest first;
// `sprucer history show ID`: one fix's diff.
namespace HistoryCommand {

CommandReply run(const QStringList &arguments);

} // namespace HistoryCommand
