// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"

#include <QString>

// Starts Sprucer at login through an XDG autostart entry in the user's configuration folder.
// An entry the user turned off stays off.
namespace XdgAutostart {

QString entryPath();

// `program` as the Exec value of a desktop entry: one argument, quoted when it holds reserved
// characters, percent signs doubled, then escaped as a string value.
QString execValue(const QString &program);

// Writes the entry that starts `program`, unless the user turned it off; an entry that is
// already current is not written again.
Result<void> registerLoginItem(const QString &program);

// Removes the entry, turned off or not: Sprucer no longer starts at login. Nothing to remove is
// no failure.
Result<void> unregisterLoginItem();

} // namespace XdgAutostart
