// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>

#include <optional>

// One usage signal as the program hands it to the analytics client.
struct UsageSignal
{
    QString name;
    QMap<QString, QString> parameters;
    std::optional<double> floatValue;
    std::optional<QString> customUserId;

    friend bool operator==(const UsageSignal &, const UsageSignal &) = default;
};
