// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Formats one source file in place with its language's tool. Reports everything itself
// (log, console, daily statistics); the caller gets no result. `fix` blocks its thread until
// the tool has finished, and may run on several threads at once.
class IFixer
{
public:
    virtual ~IFixer() = default;

    // "Swift", "C++", "Objective-C" or "Kotlin": the name fixes are counted under.
    virtual QString language() const = 0;
    // `filePath`: the file's absolute local path.
    virtual void fix(const QString &filePath) = 0;
};
