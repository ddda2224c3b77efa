// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ToolFixer.h"

// Formats Swift files with SwiftLint's fixer. SwiftLint reports the files it corrects on
// standard error, so only other text there fails the run.
class SwiftSprucer : public ToolFixer
{
public:
    static inline const QString executableName = QStringLiteral("swiftlint");

    SwiftSprucer(QString language, ToolResolver swiftLint, QUrl linterConfigPath,
                 std::chrono::milliseconds timeout = kDefaultTimeout);

    QString swiftLintBinaryPath() const { return toolPath(); }
    QUrl linterConfigPath() const { return configURL(); }

protected:
    QStringList arguments(const QString &configPath, const QString &filePath) const override;
    bool judge(const ToolRun &run) const override;
};
