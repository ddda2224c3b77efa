// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ToolFixer.h"

// Formats Kotlin files with ktlint, reading the configuration as an editorconfig file.
// ktlint's complaints go to the console only, never to the log.
class KotlinSprucer : public ToolFixer
{
public:
    static inline const QString executableName = QStringLiteral("ktlint");

    KotlinSprucer(QString language, ToolResolver ktlint, QUrl linterConfigPath,
                  std::chrono::milliseconds timeout = kDefaultTimeout);

    QString ktlintPath() const { return toolPath(); }
    QUrl linterConfigPath() const { return configURL(); }

protected:
    QStringList arguments(const QString &configPath, const QString &filePath) const override;
    bool judge(const ToolRun &run) const override;
    bool runsWithoutCoordination() const override { return true; }
};
