// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/StatusBarViewModel.h"

#include "core/watching/MonitorRegistry.h"
#include "core/watching/WatcherHealth.h"
#include "gui/support/WatcherStatusIcon.h"

StatusBarViewModel::StatusBarViewModel(MonitorRegistry &registry, WatcherHealth &health,
                                       QObject *parent)
    : QAbstractListModel(parent)
    , m_registry(registry)
    , m_health(health)
{
    connect(&registry, &MonitorRegistry::monitorsChanged, this, [this] {
        QMetaObject::invokeMethod(this, &StatusBarViewModel::refresh, Qt::QueuedConnection);
    });
    connect(&health, &WatcherHealth::statusChanged, this, [this](const QUuid &id) {
        for (int row = 0; row < m_codeWatchers.size(); ++row) {
            if (m_codeWatchers[row].id == id)
                Q_EMIT dataChanged(index(row), index(row));
        }
    });
    refresh();
}

int StatusBarViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_codeWatchers.size());
}

QVariant StatusBarViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_codeWatchers.size())
        return {};
    const CodeWatcherModel &watcher = m_codeWatchers.at(index.row());
    const WatcherStatus status = m_health.status(watcher.id);
    switch (role) {
    case Qt::DisplayRole:
        // A running watcher needs no word; any other says what keeps it from running.
        if (status.state == WatcherStatus::State::running)
            return watcher.name;
        return QString(watcher.name + QStringLiteral(" — ") + status.shortText());
    case Qt::DecorationRole:
        return WatcherStatusIcon::icon(status.state, status.needsAttention);
    case Qt::ToolTipRole:
        if (m_unrestored.contains(watcher.id))
            return QString(QStringLiteral("Not watched: ") + m_unrestored.value(watcher.id));
        return status.description();
    case Qt::AccessibleTextRole:
        return QString(watcher.name + QStringLiteral(", ") + status.shortText());
    case Qt::AccessibleDescriptionRole:
        return status.description();
    default:
        return {};
    }
}

void StatusBarViewModel::refresh()
{
    QList<CodeWatcherModel> watchers;
    for (const MonitorEntry &entry : m_registry.monitors())
        watchers.append(entry.watcher);
    QHash<QUuid, QString> unrestored;
    for (const MonitorRegistry::WatcherFailure &failure : m_registry.unrestoredWatchers()) {
        watchers.append(failure.watcher);
        unrestored.insert(failure.watcher.id, failure.error.description);
    }
    beginResetModel();
    m_codeWatchers = std::move(watchers);
    m_unrestored = std::move(unrestored);
    endResetModel();
}
