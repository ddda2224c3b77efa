// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/DependencyStatusViewModel.h"

#include "core/formatting/DependencyChecker.h"

namespace {

template <typename T, typename Signal>
void update(DependencyStatusViewModel *model, T &field, const T &value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(model->*signal)(field);
}

} // namespace

DependencyStatusViewModel::DependencyStatusViewModel(QObject *parent)
    : DependencyStatusViewModel(DependencyChecker::shared(), parent)
{}

DependencyStatusViewModel::DependencyStatusViewModel(const DependencyChecker &checker,
                                                     QObject *parent)
    : QObject(parent)
    , m_checker(checker)
{}

void DependencyStatusViewModel::checkAllDependencies()
{
    struct Row
    {
        QString tool;
        bool DependencyStatusViewModel::*installed;
        std::optional<QString> DependencyStatusViewModel::*error;
        void (DependencyStatusViewModel::*installedChanged)(bool);
        void (DependencyStatusViewModel::*errorChanged)(const std::optional<QString> &);
    };
    const Row rows[] = {
        {QStringLiteral("swiftlint"), &DependencyStatusViewModel::m_swiftLintInstalled,
         &DependencyStatusViewModel::m_swiftLintError,
         &DependencyStatusViewModel::swiftLintInstalledChanged,
         &DependencyStatusViewModel::swiftLintErrorChanged},
        {QStringLiteral("clang-format"), &DependencyStatusViewModel::m_clangFormatInstalled,
         &DependencyStatusViewModel::m_clangFormatError,
         &DependencyStatusViewModel::clangFormatInstalledChanged,
         &DependencyStatusViewModel::clangFormatErrorChanged},
        {QStringLiteral("ktlint"), &DependencyStatusViewModel::m_ktlintInstalled,
         &DependencyStatusViewModel::m_ktlintFormatError,
         &DependencyStatusViewModel::ktlintInstalledChanged,
         &DependencyStatusViewModel::ktlintFormatErrorChanged},
    };
    for (const Row &row : rows) {
        const std::optional<DependencyError> failure = m_checker.checkDependency(row.tool);
        update(this, this->*row.installed, !failure.has_value(), row.installedChanged);
        update(this, this->*row.error,
               failure ? std::optional<QString>(failure->text) : std::nullopt, row.errorChanged);
    }
}
