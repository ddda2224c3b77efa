// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/WatcherStatus.h"

#include <QIcon>

// The one picture of each watcher state, in the table's rows and in the tray's popover: a
// green check while it runs, a grey circle while it is off or paused, an orange triangle or a
// red cross for a problem (grey when the watcher is not meant to run).
namespace WatcherStatusIcon {

QIcon icon(WatcherStatus::State state, bool needsAttention);

} // namespace WatcherStatusIcon
