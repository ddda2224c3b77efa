// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a fix leaves behind, as the formatting tests check it.
namespace FixerProbe {

// The whole log file, once every line logged so far is written; empty when there is none.
QString logText();

// Today's and earlier fixes counted for `language`.
qint64 fixCount(const QString &language);

QString fileText(const QString &path);

} // namespace FixerProbe
