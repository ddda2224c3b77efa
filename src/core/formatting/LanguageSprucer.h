// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ToolFixer.h"

// The fixer of one language under the name it is known by. All four are a ToolFixer on their
// language's row of ToolProfile; nothing else sets them apart.
template <SupportedFileExtension Language>
class LanguageSprucer final : public ToolFixer
{
public:
    LanguageSprucer(QUrl configURL, Environment environment)
        : ToolFixer(Language, std::move(configURL), std::move(environment))
    {}
};

using SwiftSprucer = LanguageSprucer<SupportedFileExtension::swift>;
using CppSprucer = LanguageSprucer<SupportedFileExtension::cpp>;
using ObjectiveCSprucer = LanguageSprucer<SupportedFileExtension::objectivec>;
using KotlinSprucer = LanguageSprucer<SupportedFileExtension::kotlin>;
