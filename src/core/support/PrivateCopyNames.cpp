// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/PrivateCopyNames.h"

namespace PrivateCopyNames {

namespace {
constexpr char kPrefix[] = ".sprucer-copy-";
}

QString directoryTemplate()
{
    return QLatin1String(kPrefix) + QStringLiteral("XXXXXX");
}

bool isCopyDirectory(QStringView name)
{
    return name.startsWith(QLatin1String(kPrefix));
}

bool isCopyDirectory(std::string_view name)
{
    return name.starts_with(kPrefix);
}

bool isInsideCopy(QStringView path)
{
    qsizetype found = path.indexOf(QLatin1String(kPrefix));
    while (found >= 0) {
        const bool startsComponent = found == 0 || path.at(found - 1) == u'/';
        if (startsComponent && path.indexOf(u'/', found) > found)
            return true;
        found = path.indexOf(QLatin1String(kPrefix), found + 1);
    }
    return false;
}

} // namespace PrivateCopyNames
