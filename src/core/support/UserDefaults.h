// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>

// The application's user defaults: one process-wide key/value store on disk.
// Every access of the program goes through here; it is safe to call from any thread.
// A write is visible at once and on disk within a tenth of a second; `flush` forces it out.
// Writing a value the key already holds changes nothing, on disk included.
namespace UserDefaults {

QVariant value(const QString &key);
bool contains(const QString &key);
void setValue(const QString &key, const QVariant &value);
void remove(const QString &key);

// Blocks until every write so far is on disk (at exit, and before another process reads).
void flush();

// How many times the file was written since the process started.
quint64 writesToDisk();

// The file on disk; beside it, damaged values are backed up (StoredValueBackup).
QString fileName();

// Points the store at another file (tests); an empty path goes back to the user's own store.
void useFile(const QString &path);

} // namespace UserDefaults
