// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ToolFixer.h"

// Runs clang-format in place with a style file; the C++ and Objective-C fixers differ only in
// their language. Any standard-error text fails the run, whatever the exit status: clang-format
// may rewrite the file and still complain.
class ClangFormatSprucer : public ToolFixer
{
public:
    static inline const QString executableName = QStringLiteral("clang-format");

    QString clangFormatPath() const { return toolPath(); }
    QUrl clangConfigPath() const { return configURL(); }

protected:
    ClangFormatSprucer(QString language, ToolResolver resolver, QUrl clangConfigPath,
                       std::chrono::milliseconds timeout);

    QStringList arguments(const QString &configPath, const QString &filePath) const override;
    bool judge(const ToolRun &run) const override;
};
