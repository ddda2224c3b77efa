// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeWatcherModel.h"

#include <QAbstractListModel>
#include <QHash>

class MonitorRegistry;
class WatcherHealth;

// The tray popover's list: every registered watcher, its name and its status, as its row in
// the window says it, then those that could not be restored at launch, with the reason. Follows the
// registry: each change is read again on the next turn of the event loop; a status redraws its row.
class StatusBarViewModel : public QAbstractListModel
{
    Q_OBJECT

public:
    StatusBarViewModel(MonitorRegistry &registry, WatcherHealth &health, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const QList<CodeWatcherModel> &codeWatchers() const { return m_codeWatchers; }

private:
    void refresh();

    MonitorRegistry &m_registry;
    WatcherHealth &m_health;
    QList<CodeWatcherModel> m_codeWatchers;
    QHash<QUuid, QString> m_unrestored; // why, by watcher
};
