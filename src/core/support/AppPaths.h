// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where Sprucer keeps its files. Read from the environment on every call, so tests can point
// the XDG variables at temporary folders.
namespace AppPaths {

// Folder of the log and the analytics cache (~/.cache/Sprucer).
QString cachesDirectory();

// The user's application support directory (~/.local/share).
QString applicationSupportDirectory();

// Folder of the configuration files, inside the application support directory.
QString configurationsDirectory();

// Folder of the private copies formatted outside the user's trees: in the runtime directory
// (the user's own, in memory) when there is one, else in the caches.
QString outOfTreeCopiesDirectory();

} // namespace AppPaths
