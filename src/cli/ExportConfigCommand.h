// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandReply.h"

#include <QStringList>

// `sprucer export-config NAME|ID [DIR] [--force]`: writes a configuration as its tool's own
// project file (".clang-format", ".editorconfig", ".swiftlint.yml"), so that teammates and CI
// format as the watcher does. A different file already there is kept unless forced.
namespace ExportConfigCommand {

CommandReply run(const QStringList &arguments);

} // namespace ExportConfigCommand
