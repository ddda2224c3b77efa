// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QJsonObject>
#include <QStringList>

class CoreServices;

// `sprucer undo ID`: puts the file back as it was before the fix, unless it changed since (exit
// 1, nothing written). While a Sprucer runs, the undo is handed to it, so that its watcher knows
// to leave the content put back alone.
namespace UndoCommand {

CommandReply run(const QStringList &arguments);

bool isRequest(const QJsonObject &request);
// In the running Sprucer.
CommandReply answer(const QJsonObject &request, CoreServices &core);

} // namespace UndoCommand
