// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Why a file cannot be replaced the way a settings file is (a new file written beside it, then
// renamed over it). Writers like QSettings only say that they failed; this tries for real.
namespace WriteProbe {

// The system's reason ("No space left on device", "Not a directory", "Operation not
// permitted"…), or an empty string when the attempt went through.
QString whyNotWritable(const QString &filePath);

} // namespace WriteProbe
