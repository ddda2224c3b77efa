// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupIndex.h"

#include "core/model/FixOutcome.h"

MarkupIndex::MarkupIndex(QObject *parent)
    : QObject(parent)
{}

const MarkupStore &MarkupIndex::of(const QUuid &watcherId) const
{
    static const MarkupStore none;
    const auto found = m_stores.constFind(watcherId);
    return found == m_stores.cend() ? none : *found;
}

void MarkupIndex::track(const QUuid &watcherId)
{
    if (!m_stores.contains(watcherId))
        m_stores.insert(watcherId, MarkupStore());
}

void MarkupIndex::forget(const QUuid &watcherId)
{
    if (m_stores.remove(watcherId))
        ++m_revision;
}

void MarkupIndex::clear(const QUuid &watcherId)
{
    if (const auto found = m_stores.find(watcherId); found != m_stores.end() && !found->isEmpty()) {
        found->clear();
        ++m_revision;
    }
}

void MarkupIndex::addScanned(const QUuid &watcherId, MarkupList markups)
{
    const auto found = m_stores.find(watcherId);
    if (found == m_stores.end())
        return;
    if (!found->isEmpty())
        markups.removeIf([&](const Markup &markup) { return found->holdsFile(markup.filePath); });
    if (!markups.isEmpty()) {
        found->append(markups);
        ++m_revision;
    }
    Q_EMIT markupsChanged();
}

void MarkupIndex::apply(const FixOutcome &outcome)
{
    const auto found = m_stores.find(outcome.watcherId);
    // Most saves are of files without notes before or after: nothing changes for them.
    if (found != m_stores.end() && outcome.markups &&
        (!outcome.markups->isEmpty() || found->holdsFile(outcome.path))) {
        found->replaceFile(outcome.path, *outcome.markups);
        ++m_revision;
    }
    if (outcome.lastOfDelivery)
        Q_EMIT markupsChanged();
}
