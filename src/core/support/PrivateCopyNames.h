// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <string_view>

// While its tool runs, a user's file is formatted as a private copy in a hidden folder: beside
// it when the tool must see the same project settings above it, and for a moment while a result
// takes the file's place. Everything that watches or walks a tree leaves these folders out, so a
// copy is never taken for a file of the project.
namespace PrivateCopyNames {

// The folder's name as a template for a unique one, e.g. ".sprucer-copy-XXXXXX".
QString directoryTemplate();
bool isCopyDirectory(QStringView name);
bool isCopyDirectory(std::string_view name);
// Whether any folder on the path is a copy folder.
bool isInsideCopy(QStringView path);

} // namespace PrivateCopyNames
