// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace PrivateCopyFolders {

// The paths of the private copy folders anywhere under `root`.
QStringList under(const QString &root);

} // namespace PrivateCopyFolders
