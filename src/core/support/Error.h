// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// An error as callers see it: a domain, a code and a text meant for the user.
struct Error
{
    QString domain;
    qint64 code = 0;
    QString description;

    // The long form written to the log, e.g. `Error Domain=X Code=4 "text"`.
    QString fullDescription() const;

    friend bool operator==(const Error &, const Error &) = default;
};
