// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Why a dependency check failed, with the text shown to the user.
struct DependencyError
{
    enum class Kind
    {
        notInstalled,
        installationFailed, // nothing installs tools yet, so never raised
    };

    Kind kind = Kind::notInstalled;
    QString text;

    static DependencyError notInstalled(const QString &text) { return {Kind::notInstalled, text}; }
    static DependencyError installationFailed(const QString &text)
    {
        return {Kind::installationFailed, text};
    }

    friend bool operator==(const DependencyError &, const DependencyError &) = default;
};
