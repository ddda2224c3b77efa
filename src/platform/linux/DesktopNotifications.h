// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Tells the user something worth a glance on the desktop, through the freedesktop
// notification service on the session bus. Without a session bus or a notification service
// (a server, a bare window manager) nothing is shown and nothing waits.
namespace DesktopNotifications {

// Whether a notification would be shown now.
bool available();
// Returns at once; false when there was no service to show it.
bool notify(const QString &summary, const QString &body);

} // namespace DesktopNotifications
