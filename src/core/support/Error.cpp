// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Error.h"

QString Error::fullDescription() const
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(domain).arg(code).arg(description);
}
