// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The language of a watcher: which files it takes and which tool formats them.
enum class SupportedFileExtension
{
    swift,
    cpp,
    objectivec,
    kotlin,
};

namespace SupportedFileExtensions {

// Every language, in the order the pickers show them.
const QList<SupportedFileExtension> &allCases();

// The stored and transmitted form: "swift", "cpp", "objectivec", "kotlin".
QString code(SupportedFileExtension kind);
std::optional<SupportedFileExtension> fromCode(const QString &code);

// "Swift", "C++", "Objective-C", "Kotlin": also the name fixes are counted under.
QString displayName(SupportedFileExtension kind);

// File-name extensions taken by the language: lower case, without the dot.
const QStringList &fileExtensions(SupportedFileExtension kind);

// The text after the last "." of the file name; empty when there is none.
QString pathExtension(const QString &path);

// Whether a file belongs to a watcher of `kind`: its extension, compared case-sensitively.
bool matches(SupportedFileExtension kind, const QString &path);

} // namespace SupportedFileExtensions
