// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/markups/MarkupGrouping.h"

#include <QObject>
#include <QUuid>

class MarkupIndex;
class MonitorRegistry;

// The markups screen's view of every watcher's findings, one group per file and watcher,
// sorted. Loaded at creation, when asked, and whenever the registry announces a change that
// touches the findings or the watchers' names, so the screen follows saves on its own.
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
    // What a load read: when neither the findings nor the watchers' names and order have
    // changed since, the groups are still current.
    struct Source
    {
        quint64 revision = 0;
        QList<std::pair<QUuid, QString>> watchers;
        bool operator==(const Source &) const = default;
    };

    Source currentSource() const;
    void loadIfChanged();

    const MonitorRegistry &m_registry;
    const MarkupIndex &m_markups;
    Source m_loaded;
    QList<GroupedMarkup> m_groupedMarkups;
};
