// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QStringList>

// `sprucer format [PATH...] [--config NAME|ID]`: formats the files in place through the road of
// a save (never over a newer save), counts the fixes as the window does and prints
// "N checked · M changed · K failed". Status 2 when a file failed.
namespace FormatCommand {

CommandReply run(const QStringList &arguments);

} // namespace FormatCommand
