// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QThread>

#include <algorithm>

// How bulk formatting is spread: files handed to a fixer at once (one run of its tool over
// them, when it can) and the threads that run those batches. Both the watchers' pipeline and a
// check of files from the command line take them from here, so the two keep the same pace.
struct FixBatching
{
    static constexpr int batchSize = 20;

    // Each batch mostly waits for a formatter process; two per core kept Run Fixers over 1,000
    // files level with xargs -P running clang-format alone (see bench/PipelineBench).
    static int workerCount() { return 2 * std::max(1, QThread::idealThreadCount()); }
};
