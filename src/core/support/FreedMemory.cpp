// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/FreedMemory.h"

#include <cstdlib> // defines __GLIBC__ where it is the C library

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

} // namespace FreedMemory
