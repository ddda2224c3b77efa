// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Error.h"
#include "core/support/Result.h"

// Why a watcher could not be registered. Screens word their message from the kind; the error
// underneath is what the log shows.
struct AddWatcherError
{
    enum class Kind
    {
        alreadyRegistered, // a watcher with this id is registered
        folderRefused,     // the folder is missing, unreadable or cannot be bookmarked
        configurationGone, // its configuration was deleted or cannot be read
        streamFailed,      // the folder's change stream could not be set up
    };

    Kind kind;
    Error error;
};

using AddWatcherResult = Result<void, AddWatcherError>;
