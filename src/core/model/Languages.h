// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/SupportedFileExtension.h"

#include <QList>
#include <QString>
#include <QStringList>

// The formatting tools; `ToolProfile` holds how each is run. C++ and Objective-C share one.
enum class FormattingTool
{
    swiftLint,
    clangFormat,
    ktlint,
};

// How a language's configuration text is written, for the editor's colouring.
enum class ConfigurationSyntax
{
    yaml,
    editorconfig,
};

// One language with everything the program tells apart by language: the extensions, the
// pickers, the tool, the configuration check and the editor all read this table, so a language
// is added here (and its fixer's name in `SprucerFactory`).
struct Language
{
    SupportedFileExtension kind;
    QString code;        // the stored and transmitted form, "objectivec"
    QString displayName; // "Objective-C"; also the name fixes are counted under
    QStringList fileExtensions;
    FormattingTool tool;
    ConfigurationSyntax configurationSyntax;
    // An empty source's name by which the tool picks the language's part of a configuration.
    QString sampleFileName;
    QString iconName; // the symbol of the language's card
};

namespace Languages {

// Every language, in the order the pickers show them.
const QList<Language> &all();
const Language &of(SupportedFileExtension kind);

} // namespace Languages
