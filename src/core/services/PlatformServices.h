// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"
#include "core/watching/ReturnWatch.h"
#include "core/watching/TreeEventSource.h"

#include <QString>

#include <functional>

// What the operating system's layer gives the core. The platform library fills it in (one
// implementation per operating system, chosen when the build is configured); the core only
// knows these interfaces.
struct PlatformServices
{
    TreeEventSource::Factory treeEventSources;
    ReturnWatch::Factory returnWatches;
    // Makes the running executable start at the user's login (the window app, at each launch).
    std::function<Result<void>()> registerLoginItem;
    // Stops it from starting at login ("Start Sprucer when I log in" turned off).
    std::function<Result<void>()> unregisterLoginItem;
    // A desktop notification, when the desktop has a service for them; returns at once.
    std::function<void(const QString &summary, const QString &body)> notify;
};

// Registers the login item and tells the terminal how that went, in one line.
void registerLoginItemAndReport(const PlatformServices &services);
