// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUuid>

// The number of fixes counted for one watcher.
struct CodeCounterModel
{
    QUuid id; // the watcher's id
    qint64 fixedCount = 0;

    friend bool operator==(const CodeCounterModel &, const CodeCounterModel &) = default;
};
