// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>

// Finds the TODO and FIXME notes in a watched tree. The monitor registry owns one and asks it
// for a full scan when a watcher starts; the processing pipeline scans single files after a fix.
//
// scanDirectory is called on the main thread and answers there; collectMarkups and findMarkups
// run on whatever thread calls them. The class keeps no state of its own, so a scan in progress
// never needs the object that started it.
class MarkupWatcher : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void(MarkupList markups)>;

    explicit MarkupWatcher(QObject *parent = nullptr);

    // The keywords the pattern recognises. Informational: nothing reads it.
    const QStringList markupTypes{QStringLiteral("TODO"), QStringLiteral("FIXME")};

    // Returns at once. Walks the tree on the shared thread pool and calls `completion` exactly
    // once, on the main thread, with every finding (possibly none). `extensions` are lower-case
    // file-name extensions without the dot.
    virtual void scanDirectory(const QUrl &directory, const QStringList &extensions,
                               Completion completion);

    // The walk behind scanDirectory, synchronous. Failures are logged and skipped.
    static MarkupList collectMarkups(const QUrl &directory, const QStringList &extensions);

    // The findings of one file's text, in line order; `filePath` is copied into each.
    static MarkupList findMarkups(const QString &content, const QString &filePath);
};
