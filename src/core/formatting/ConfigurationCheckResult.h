// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

// What a formatting tool said of a configuration's text, as shown under the editor.
struct ConfigurationCheckResult
{
    enum class State
    {
        accepted,
        refused,     // the tool would fail every fix with this configuration
        toolMissing, // nothing was run
        notChecked,  // the tool did not answer in time or could not be started
    };

    State state = State::accepted;
    QString toolName; // as the user knows it, e.g. "SwiftLint"
    // Refused: the tool's first complaint, e.g. "Line 2: unknown key 'Foo'". Accepted: what the
    // tool does not check, if anything. Otherwise why nothing could be said.
    QString message;
    std::optional<int> line; // 1-based, in the configuration's text

    friend bool operator==(const ConfigurationCheckResult &,
                           const ConfigurationCheckResult &) = default;
};

Q_DECLARE_METATYPE(ConfigurationCheckResult)
