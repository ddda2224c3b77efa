// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QJsonObject>
#include <QStringList>

#include <variant>

class StoreAccess;

// `sprucer watcher list|add|remove|set`. A change is read from the arguments here, in the process
// the user started (its folder, relative paths), and carried out by `execute` wherever the stores
// are.
namespace WatcherCommand {

// The request to carry out, or the reply when there is nothing to carry out (help, a listing,
// a mistake). `arguments` follow "watcher".
std::variant<QJsonObject, CommandReply> read(const QStringList &arguments, StoreAccess &stores);

CommandReply execute(const QJsonObject &request, StoreAccess &stores);

} // namespace WatcherCommand
