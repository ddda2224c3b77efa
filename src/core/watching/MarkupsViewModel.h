// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/markups/MarkupGrouping.h"

#include <QObject>

class MarkupIndex;
class MonitorRegistry;

// The markups screen's view of every watcher's findings, one group per file and watcher,
// sorted. Loaded at creation and when asked, never on its own: the screen shows its last load.
// Main thread.
class MarkupsViewModel : public QObject
{
    Q_OBJECT

public:
    MarkupsViewModel(const MonitorRegistry &registry, const MarkupIndex &markups,
                     QObject *parent = nullptr);

    const QList<GroupedMarkup> &groupedMarkups() const { return m_groupedMarkups; }
    qint64 totalMarkups() const;

    // Rebuilds the groups from the index now; they replace the shown ones on the next turn
    // of the event loop.
    void loadMarkups();

Q_SIGNALS:
    void groupedMarkupsChanged();

private:
    const MonitorRegistry &m_registry;
    const MarkupIndex &m_markups;
    QList<GroupedMarkup> m_groupedMarkups;
};
