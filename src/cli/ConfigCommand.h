// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Verbs.h"

#include <span>

// `sprucer config list|add|remove`. A change is read from the arguments here, in the process the
// user started (files, standard input), and carried out by `execute` wherever the stores are.
namespace ConfigCommand {

std::span<const Verb> verbs();

} // namespace ConfigCommand
