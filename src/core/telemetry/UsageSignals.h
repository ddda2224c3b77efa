// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/telemetry/UsageSignal.h"

#include <functional>

// The one way the program sends a usage signal. Callable from any thread, returns at once and
// never fails. Signals go to the installed sink (the analytics client); with none installed
// they are dropped, never pretended sent.
namespace UsageSignals {

using Sink = std::function<void(const UsageSignal &)>;

void signal(const QString &name, const QMap<QString, QString> &parameters = {},
            std::optional<double> floatValue = std::nullopt,
            std::optional<QString> customUserId = std::nullopt);

// Replaces the sink; an empty function removes it. The sink runs on the sending thread.
void setSink(Sink sink);

} // namespace UsageSignals
