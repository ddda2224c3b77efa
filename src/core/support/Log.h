// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Takes the program's log lines. The log file ("sprucer.log") is the one sink of a running
// program; a tool or a test may put another in its place.
class LogSink
{
public:
    virtual ~LogSink() = default;
    // Any thread; returns at once.
    virtual void log(const QString &message) = 0;
};

// What every part of the program logs through, so none of them depends on where lines go.
namespace Log {

// One line of the log, from any thread; never blocks on the disk.
void line(const QString &message);
// Null: lines go to the log file again. The sink must outlive its use.
void setSink(LogSink *sink);

} // namespace Log
