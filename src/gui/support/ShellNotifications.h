// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The names the screens and the shell post to each other on the notification centre.
namespace ShellNotifications {

// Object: the new activation, a Boolean. Observed by the application, which pauses or resumes
// every watcher.
inline const QString activeStateChanged = QStringLiteral("SprucerActiveStateChanged");
// No object. Observed by the main view, which shows the configurations screen.
inline const QString switchToConfigurationsTab = QStringLiteral("SwitchToConfigurationsTab");

} // namespace ShellNotifications
