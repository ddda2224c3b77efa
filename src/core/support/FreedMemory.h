// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The agent runs all day. After a large piece of work (the scan of a whole tree), the memory it
// freed stays resident in the allocator's per-thread pools, tens of megabytes on a large tree,
// unless it is handed back.
namespace FreedMemory {

// Returns the free pages of every allocator pool to the system. Takes a few milliseconds; call
// it after large work, not per file.
void release();
// The same a moment later, once for all the calls of that moment: the scans of every watcher
// end together at start, in front of the window's first paint. Main thread.
void releaseSoon();

} // namespace FreedMemory
