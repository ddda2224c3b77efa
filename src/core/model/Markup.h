// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QUuid>

// One TODO or FIXME note found in a source file.
struct Markup
{
    QUuid id;        // new for every finding: two scans of one line give two ids
    qint64 line = 0; // 1-based
    QString type;    // "TODO" or "FIXME"
    QString text;    // the rest of the line after the colon, trimmed
    QString filePath;
    bool fixed = false;

    friend bool operator==(const Markup &, const Markup &) = default;
};

using MarkupList = QList<Markup>;
