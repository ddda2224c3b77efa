// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/markups/MarkupStore.h"

#include <QHash>
#include <QObject>
#include <QUuid>

struct FixOutcome;

// The TODO findings of every registered watcher, kept in step with the scans of their trees and
// with the outcome of each processed file. A stopped watcher lists nothing. Main thread.
class MarkupIndex : public QObject
{
    Q_OBJECT

public:
    explicit MarkupIndex(QObject *parent = nullptr);

    // The watcher's findings; none for a watcher not registered.
    const MarkupStore &of(const QUuid &watcherId) const;

    void track(const QUuid &watcherId);
    void forget(const QUuid &watcherId);
    void clear(const QUuid &watcherId);
    // A tree's findings join those listed already; a file listed already keeps its own, which a
    // save during the walk may have scanned later than the walk did.
    void addScanned(const QUuid &watcherId, MarkupList markups);
    // A processed file's findings replace its earlier ones, when they are known.
    void apply(const FixOutcome &outcome);

    // Goes up with every change to the findings, so a reader can tell whether what it took
    // is still current.
    quint64 revision() const { return m_revision; }

Q_SIGNALS:
    // After a tree's findings were added, and after the last file of a delivery.
    void markupsChanged();

private:
    QHash<QUuid, MarkupStore> m_stores;
    quint64 m_revision = 0;
};
