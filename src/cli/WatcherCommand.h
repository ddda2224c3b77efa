// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Verbs.h"

#include <span>

// `sprucer watcher list|add|remove|set`. A change is read from the arguments here, in the process
// the user started (its folder, relative paths), and carried out by `execute` wherever the stores
// are.
namespace WatcherCommand {

std::span<const Verb> verbs();

} // namespace WatcherCommand
