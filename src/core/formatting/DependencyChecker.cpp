// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/DependencyChecker.h"

#include "core/support/Log.h"

const DependencyChecker &DependencyChecker::shared()
{
    static const DependencyChecker instance;
    return instance;
}

DependencyChecker::DependencyChecker(ToolResolver resolver)
    : m_resolver(std::move(resolver))
{}

std::optional<DependencyError> DependencyChecker::checkDependency(const QString &name) const
{
    if (const std::optional<QString> path = m_resolver.resolve(name)) {
        Log::line(QStringLiteral("Found ") + name + QStringLiteral(" at: ") + *path);
        return std::nullopt;
    }
    return DependencyError::notInstalled(
        name + QStringLiteral(" is not installed. Please install it using:\nbrew install ") + name);
}
