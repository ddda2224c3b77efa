// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/DependencyError.h"
#include "core/formatting/ToolResolver.h"

#include <optional>

// Tells whether a formatting tool is installed, through the same resolver the fixers use.
// Reads file metadata only; any thread.
class DependencyChecker
{
public:
    static const DependencyChecker &shared();

    explicit DependencyChecker(ToolResolver resolver = ToolResolver());

    // Nothing when the tool is installed (and its path is logged); otherwise why not.
    std::optional<DependencyError> checkDependency(const QString &name) const;

private:
    ToolResolver m_resolver;
};
