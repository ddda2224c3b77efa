// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>

// The parameters the analytics client attaches to every signal: the system, the program, the
// locale and the calendar at the moment of the signal. The retention parameters come from the
// session history and are merged in by the caller. Callable from any thread.
namespace DefaultParameters {

inline constexpr char sdkName[] = "SprucerTelemetry";
inline constexpr char sdkVersion[] = "2.8.0";

QMap<QString, QString> collect(const QDateTime &now);

// The running system's name as the service shows it: "Linux", "macOS", "Windows", ...
QString operatingSystemName();

} // namespace DefaultParameters
