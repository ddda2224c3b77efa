// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/WatcherStatusIcon.h"

#include "gui/support/Palette.h"
#include "gui/support/SymbolIcons.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace WatcherStatusIcon {

QIcon icon(WatcherStatus::State state, bool needsAttention, const QPalette &palette)
{
    using State = WatcherStatus::State;
    const QPalette colours = palette.resolveMask() ? palette : QGuiApplication::palette();
    const QColor quiet = colours.color(QPalette::PlaceholderText);
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
