// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/IFixer.h"
#include "core/formatting/ToolFixer.h"
#include "core/support/Result.h"

#include <memory>

class ConfigManagerFactory;
struct CodeWatcherModel;

// Makes the fixer of a watcher: its language's tool with the watcher's stored configuration.
// Used on the main thread; the fixers it makes may then run anywhere.
class SprucerFactory
{
public:
    SprucerFactory(const ConfigManagerFactory &configurations, ToolFixer::Environment environment);

    // Fails with the store's "Configuration not found" when the watcher's configuration is gone.
    Result<std::shared_ptr<IFixer>> makeFixer(const CodeWatcherModel &watcher) const;

private:
    const ConfigManagerFactory &m_configManagerFactory;
    ToolFixer::Environment m_environment;
};
