// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <memory>

// Waits for a directory that went away to stand at its path again (renamed back, recreated,
// restored), without polling: the platform watches the nearest folder above it that exists and
// follows the path down as its folders come back. Opened and used on the watch queue.
class ReturnWatch
{
public:
    using Factory = std::function<std::unique_ptr<ReturnWatch>(const QString &path)>;

    virtual ~ReturnWatch() = default;

    // False when nothing above the path can be watched.
    virtual bool open() = 0;
    // Readable whenever events wait.
    virtual int descriptor() const = 0;
    // Reads the waiting events; true while a directory stands at the path.
    virtual bool hasReturned() = 0;
};
