// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeWatcherModel.h"

#include <QAbstractListModel>

class MonitorRegistry;

// The tray popover's list: every registered watcher, its name and whether it runs. Follows the
// registry: each change is read again on the next turn of the event loop.
class StatusBarViewModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit StatusBarViewModel(MonitorRegistry &registry, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const QList<CodeWatcherModel> &codeWatchers() const { return m_codeWatchers; }

private:
    void refresh();

    MonitorRegistry &m_registry;
    QList<CodeWatcherModel> m_codeWatchers;
};
