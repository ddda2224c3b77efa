// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>

class UserDefaults;

// A stored value that does not decode whole is copied aside before its store writes what could
// be read over it, so nothing the user had is lost unseen. The copy is a settings file of its
// own holding just that key, beside the user defaults' file, named
// "<key>-<yyyyMMdd-HHmmss>.backup" ("…-2.backup" and on for more in one second). Any thread.
namespace StoredValueBackup {

// Backs the value up once, also across runs (an identical backup is reused), and logs one line
// naming the key the first time this process meets the value. Returns the backup's path; empty,
// after logging why, when it could not be written.
QString keep(const UserDefaults &settings, const QString &key, const QVariant &raw);

} // namespace StoredValueBackup
