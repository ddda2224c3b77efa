// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/MarkupsViewModel.h"

#include "core/markups/MarkupIndex.h"
#include "core/watching/MonitorRegistry.h"

#include <QPointer>

MarkupsViewModel::MarkupsViewModel(const MonitorRegistry &registry, const MarkupIndex &markups,
                                   QObject *parent)
    : QObject(parent)
    , m_registry(registry)
    , m_markups(markups)
{
    // The registry tells of every change to the index and to the watchers, once per turn.
    connect(&registry, &MonitorRegistry::monitorsChanged, this, &MarkupsViewModel::loadIfChanged);
    loadMarkups();
}

MarkupsViewModel::Source MarkupsViewModel::currentSource() const
{
    Source source{m_markups.revision(), {}};
    for (const MonitorEntry &entry : m_registry.monitors())
        source.watchers.append({entry.watcher.id, entry.watcher.name});
    return source;
}

void MarkupsViewModel::loadIfChanged()
{
    if (currentSource() != m_loaded)
        loadMarkups();
}

qint64 MarkupsViewModel::totalMarkups() const
{
    qint64 total = 0;
    for (const GroupedMarkup &group : m_groupedMarkups)
        total += group.markups.size();
    return total;
}

void MarkupsViewModel::loadMarkups()
{
    m_loaded = currentSource();
    QList<GroupedMarkup> groups;
    for (const MonitorEntry &entry : m_registry.monitors()) {
        const MarkupStore &found = m_markups.of(entry.watcher.id);
        if (!found.isEmpty())
            groups << MarkupGrouping::groupByFile(found.toList(), entry.watcher.name);
    }
    MarkupGrouping::sort(groups);
    QMetaObject::invokeMethod(
        this,
        [self = QPointer(this), groups = std::move(groups)]() mutable {
            if (!self)
                return;
            self->m_groupedMarkups = std::move(groups);
            Q_EMIT self->groupedMarkupsChanged();
        },
        Qt::QueuedConnection);
}
