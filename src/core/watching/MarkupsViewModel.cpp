// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/MarkupsViewModel.h"

#include "core/watching/MonitorRegistry.h"

#include <QPointer>

MarkupsViewModel::MarkupsViewModel(const MonitorRegistry &registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
{
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
    QList<GroupedMarkup> groups;
    for (const MonitorEntry &entry : m_registry.monitors()) {
        if (!entry.markups.isEmpty())
            groups << MarkupGrouping::groupByFile(entry.markups.toList(), entry.watcher.name);
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
