// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/PlatformServices.h"

// The services of the operating system the program was built for; each system's folder
// implements this, and the build compiles the one it is configured for.
namespace Platform {

PlatformServices services();

} // namespace Platform
