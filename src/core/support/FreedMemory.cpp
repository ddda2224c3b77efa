// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/FreedMemory.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib> // defines __GLIBC__ where it is the C library
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace FreedMemory {

void release()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

void releaseSoon()
{
    // Long enough for the scans that end together to share it, and over before the agent is
    // called settled: nothing may wake it then.
    constexpr int kSettleMs = 200;
    static bool pending = false;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || std::exchange(pending, true))
        return;
    QTimer::singleShot(kSettleMs, application, [] {
        pending = false;
        release();
    });
}

} // namespace FreedMemory
