// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigurationCheckResult.h"
#include "core/formatting/ToolResolver.h"
#include "core/model/SupportedFileExtension.h"

#include <chrono>

class ToolStop;

// One check of a configuration's text by its language's tool. The text goes into a private
// temporary folder under the name the tool itself would look for, the tool loads it from there
// without formatting anything, and its first complaint is told in terms of the text, not of our
// file. Blocks while the tool runs, so never on the main thread; any other thread.
class ConfigurationProbe
{
public:
    ConfigurationProbe(ToolResolver resolver, std::chrono::milliseconds timeLimit,
                       ToolStop *stop = nullptr);

    ConfigurationCheckResult check(SupportedFileExtension language, const QString &text) const;

    // What is said when the language's tool is not installed.
    static ConfigurationCheckResult toolMissing(SupportedFileExtension language);

private:
    ToolResolver m_resolver;
    std::chrono::milliseconds m_timeLimit;
    ToolStop *m_stop;
};
