// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

// Values the user defaults could not write before the process ended, kept for the next start in
// a settings file of their own (IniFormat, the keys as the store names them).
namespace RecoveryFile {

// "settings-recovery.ini" beside the log: a full or locked settings folder must not take the
// values' last refuge with it.
QString defaultPath();

// Replaces the file with `values`, whole or not at all; `failure` gets why it could not.
bool write(const QString &path, const QMap<QString, QVariant> &values, QString *failure);

} // namespace RecoveryFile
