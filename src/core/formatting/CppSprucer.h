// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ClangFormatSprucer.h"

// Formats C++ files with clang-format.
class CppSprucer : public ClangFormatSprucer
{
public:
    CppSprucer(QString language, ToolResolver clangFormat, QUrl clangConfigPath,
               std::chrono::milliseconds timeout = kDefaultTimeout)
        : ClangFormatSprucer(std::move(language), std::move(clangFormat),
                             std::move(clangConfigPath), timeout)
    {}
};
