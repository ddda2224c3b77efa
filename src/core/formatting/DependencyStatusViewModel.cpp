// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/DependencyStatusViewModel.h"

#include "core/formatting/DependencyChecker.h"
#include "core/formatting/ToolProfile.h"

#include <QList>

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

// Each tool's pair of properties, in the order the tools are checked.
struct DependencyStatusViewModel::Row
{
    FormattingTool tool;
    bool DependencyStatusViewModel::*installed;
    std::optional<QString> DependencyStatusViewModel::*error;
    void (DependencyStatusViewModel::*installedChanged)(bool);
    void (DependencyStatusViewModel::*errorChanged)(const std::optional<QString> &);
};

namespace {

using Model = DependencyStatusViewModel;

} // namespace

const QList<DependencyStatusViewModel::Row> &DependencyStatusViewModel::rows()
{
    static const QList<Row> table{
        {FormattingTool::swiftLint, &Model::m_swiftLintInstalled, &Model::m_swiftLintError,
         &Model::swiftLintInstalledChanged, &Model::swiftLintErrorChanged},
        {FormattingTool::clangFormat, &Model::m_clangFormatInstalled, &Model::m_clangFormatError,
         &Model::clangFormatInstalledChanged, &Model::clangFormatErrorChanged},
        {FormattingTool::ktlint, &Model::m_ktlintInstalled, &Model::m_ktlintFormatError,
         &Model::ktlintInstalledChanged, &Model::ktlintFormatErrorChanged},
    };
    return table;
}

const DependencyStatusViewModel::Row &DependencyStatusViewModel::row(FormattingTool tool)
{
    for (const Row &each : rows()) {
        if (each.tool == tool)
            return each;
    }
    Q_UNREACHABLE();
    return rows().constFirst();
}

bool DependencyStatusViewModel::installed(FormattingTool tool) const
{
    return this->*row(tool).installed;
}

std::optional<QString> DependencyStatusViewModel::error(FormattingTool tool) const
{
    return this->*row(tool).error;
}

void DependencyStatusViewModel::checkAllDependencies()
{
    for (const Row &each : rows()) {
        const std::optional<DependencyError> failure =
            m_checker.checkDependency(ToolProfile::of(each.tool).executable);
        update(this, this->*each.installed, !failure.has_value(), each.installedChanged);
        update(this, this->*each.error,
               failure ? std::optional<QString>(failure->text) : std::nullopt, each.errorChanged);
    }
}
