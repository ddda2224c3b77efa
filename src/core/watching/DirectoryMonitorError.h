// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Why a directory monitor could not start.
enum class DirectoryMonitorError
{
    failedToAccessResource,  // the directory is missing or not readable
    failedToStartMonitoring, // the event stream could not be set up
};
