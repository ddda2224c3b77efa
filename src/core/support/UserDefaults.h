// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>

// The application's user defaults: one process-wide key/value store on disk.
// Every access of the program goes through here; it is safe to call from any thread.
// Each write is flushed to disk at once, so nothing stored is lost when the process is killed.
namespace UserDefaults {

QVariant value(const QString &key);
bool contains(const QString &key);
void setValue(const QString &key, const QVariant &value);
void remove(const QString &key);

// Points the store at another file (tests); an empty path goes back to the user's own store.
void useFile(const QString &path);

} // namespace UserDefaults
