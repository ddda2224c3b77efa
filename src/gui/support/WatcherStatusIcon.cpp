// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/WatcherStatusIcon.h"

#include "gui/support/Palette.h"
#include "gui/support/SymbolIcons.h"

using namespace Qt::StringLiterals;

namespace WatcherStatusIcon {

QIcon icon(WatcherStatus::State state, bool needsAttention)
{
    using State = WatcherStatus::State;
    // A fixed grey: the palette's secondary text is translucent, and a tinted icon is opaque.
    const QColor quiet = Palette::gray();
    switch (state) {
    case State::running:
        return SymbolIcons::icon(u"checkmark.circle.fill"_s, Palette::green());
    case State::switchedOff:
        return SymbolIcons::icon(u"circle"_s, quiet);
    case State::paused:
        return SymbolIcons::icon(u"pause.circle"_s, quiet);
    case State::configurationRefused:
    case State::lastRunFailed:
        return SymbolIcons::icon(u"xmark.circle.fill"_s, needsAttention ? Palette::red() : quiet);
    case State::folderMissing:
    case State::toolMissing:
    case State::notWatched:
        break;
    }
    return SymbolIcons::icon(u"exclamationmark.triangle.fill"_s,
                             needsAttention ? Palette::orange() : quiet);
}

} // namespace WatcherStatusIcon
