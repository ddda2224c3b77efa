// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QByteArray>
#include <QStringList>

class CoreServices;

// The commands that change the stores ("config …", "watcher …"). When a Sprucer runs for the
// user, the change is handed to it and made there, so it takes effect at once; otherwise the
// stores are changed here, under the instance lock, so that a Sprucer starting meanwhile waits
// for the change instead of reading half of it.
namespace StoreCommand {

// `arguments` start with "config" or "watcher".
CommandReply run(const QStringList &arguments);

// In the running Sprucer: carries out a change handed over by a command line and returns the
// reply to print there.
QByteArray answer(const QByteArray &request, CoreServices &core);

} // namespace StoreCommand
