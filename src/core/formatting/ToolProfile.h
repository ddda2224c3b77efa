// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ToolLimits.h"
#include "core/model/Languages.h"
#include "core/model/SupportedFileExtension.h"

#include <QString>
#include <QStringList>

struct ToolRun;

// How one formatting tool loads a configuration and nothing else, to check it alone.
struct ConfigurationLoad
{
    QString fileName; // the name the tool's own search would find, shown in its messages
    QStringList (*arguments)(const Language &language, const QString &configPath) = nullptr;
    bool (*refuses)(const ToolRun &run) = nullptr;
    // Rewords a complaint that means nothing to a user; may be null.
    QString (*clarify)(const Language &language, const QString &message) = nullptr;
    // What an acceptance does not promise, when the tool checks less than it reads.
    QString acceptedNote;
};

// How one formatting tool is run and judged. The fixers and the configuration checks of the
// four languages differ only in the row of this table they use, the tool of their `Language`;
// C++ and Objective-C share clang-format's.
struct ToolProfile
{
    QString executable;  // the name looked up, e.g. "swiftlint"
    QString displayName; // the name in log lines, e.g. "SwiftLint"
    // The command line for one file or several: the options, then the files.
    QStringList (*arguments)(const QString &configPath, const QStringList &filePaths) = nullptr;
    // Whether a finished run of one file counts as a fix; a failed run is reported here.
    bool (*judge)(const ToolRun &run) = nullptr;
    // Whether a run of several files said nothing that could concern one of them, so every
    // file may be taken as a success. Reports nothing: an unclean group is run file by file.
    bool (*groupIsClean)(const ToolRun &run) = nullptr;
    // Whether the tool still runs when the file's lock was refused.
    bool runsWithoutCoordination = false;
    // Whether the tool looks for settings in the file's folders and above, so that its copy
    // must lie beside the file; otherwise the copy is kept out of the user's tree.
    bool discoversProjectFiles = false;
    // What the memory limit of a run bounds.
    ToolLimits::Memory memoryLimit = ToolLimits::Memory::addressSpace;
    ConfigurationLoad load;

    static const ToolProfile &of(FormattingTool tool);
    static const ToolProfile &of(SupportedFileExtension language);
};
