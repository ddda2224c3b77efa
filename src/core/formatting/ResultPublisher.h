// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class SavedFile;

// Puts a tool's result in place of the user's file, but only over the version the tool was
// given: a save made meanwhile always wins, and the result is dropped.
//
// The result file (beside the user's file, on the same file system) takes the file's mode and
// owner and reaches the disk first; then the two are exchanged in one step, and the version
// taken out is checked once more, so a save that slipped in between is swapped back. A crash or
// a full disk leaves either the old or the new version, never a part of one. A file with several
// links, or whose owner the result cannot take, is written in place instead, after its space is
// reserved, so that its links and owner stay.
namespace ResultPublisher {

enum class Outcome
{
    published,
    superseded, // the user saved meanwhile; nothing was written
    failed,     // nothing was written; see the error
};

struct Report
{
    Outcome outcome = Outcome::failed;
    QString error;
};

// `beforeReplace` runs after the last check and before the swap (tests make a save there).
Report publish(const SavedFile &original, const QString &resultPath, const QByteArray &result,
               const std::function<void()> &beforeReplace = {});

} // namespace ResultPublisher
