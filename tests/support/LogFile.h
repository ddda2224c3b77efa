// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What the program has written to its log file so far (after waiting for pending lines).
namespace LogFile {

// The whole file.
QString text();
// One entry per physical line, timestamps included.
QStringList lines();
// Each line without its "[timestamp] " prefix.
QStringList messages();
// Starts the log afresh, once every line logged so far is written.
void clear();

} // namespace LogFile
