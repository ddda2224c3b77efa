// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/PlatformServices.h"

#include "core/support/Console.h"

using namespace Qt::StringLiterals;

void registerLoginItemAndReport(const PlatformServices &services)
{
    if (!services.registerLoginItem)
        return;
    const Result<void> registered = services.registerLoginItem();
    Console::writeLine(registered ? u"App registered as login item."_s
                                  : u"Failed to register app as login item: "_s +
                                        registered.error().description);
}
