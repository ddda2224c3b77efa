// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/git/WatcherGitOptions.h"
#include "core/model/CodeWatcherModel.h"
#include "core/watching/MonitorRegistry.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

class ConfigManagerFactory;
class CounterStore;
class FixProgress;
class NotificationCenter;
class WatcherHealth;

// The model behind the watcher table: one row per registered watcher, in the registry's order,
// with the table's columns. It follows the registry row by row (rows inserted, removed, moved
// and changed are announced as such), marks the rows whose files are being processed, and
// redraws a row whose fix count, configuration name or status changed. Main thread. The
// table's commands go to the registry itself.
class CodeWatcherTableViewModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        nameColumn,
        statusColumn, // what WatcherHealth says of it
        urlColumn,
        fixAllColumn,
        extensionColumn,
        configNameColumn,
        activatedColumn,
        removeColumn,
    };

    // Any column of a row answers these.
    enum Role
    {
        watcherIdRole = Qt::UserRole + 1,
        processingRole,
        activatedRole,
        fixedCountRole,
        progressDoneRole,  // files done of the work under way
        progressTotalRole, // files handed over; 0 when nothing is under way
        // Why a stored watcher could not be restored; empty for a running one.
        unrestoredReasonRole,
        stateRole,          // WatcherStatus::State, as an int
        needsAttentionRole, // a problem of a watcher the user switched on
        canRunFixersRole,   // "Run Fixers" would run: switched on, not paused, folder there
        // Under the status: the last run's summary while it runs, what is wrong otherwise.
        statusDetailRole,
        gitBadgeRole, // the name cell's badge of the git options: "git", "±", "git ±" or empty
    };

    CodeWatcherTableViewModel(MonitorRegistry &registry, NotificationCenter &notifications,
                              const FixProgress &progress, CounterStore &counters,
                              WatcherHealth &health, const ConfigManagerFactory &configurations,
                              QObject *parent = nullptr);

    // The registered watchers: the first rows. The stored watchers that could not be restored
    // follow them, greyed, with their reason.
    const QList<CodeWatcherModel> &codeWatchers() const { return m_codeWatchers; }
    // The watcher shown in `row`, registered or not.
    const CodeWatcherModel *watcherAt(int row) const;
    bool isUnrestored(int row) const { return row >= m_codeWatchers.size() && row < rowCount(); }
    const QSet<QUuid> &processingWatchers() const { return m_processingWatchers; }
    bool isProcessing(const QUuid &watcherId) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Only the name is edited here; it goes to the registry, and the row follows from there.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QVariant cellHelp(int column, const CodeWatcherModel &watcher) const;
    QString statusDetail(const CodeWatcherModel &watcher) const;
    static QString controlName(int column, const CodeWatcherModel &watcher);
    static QString gitBadge(const GitOptions &options);
    static QString gitDescription(const GitOptions &options);
    void reloadWatchers();
    void reloadUnrestored();
    void placeWatcher(int row, const CodeWatcherModel &watcher);
    void setProcessing(const QUuid &watcherId, bool processing);
    void reloadCounts();
    void reloadConfigNames();
    int rowOf(const QUuid &watcherId) const;
    void rowChanged(int row);

    MonitorRegistry &m_registry;
    const FixProgress &m_progress;
    CounterStore &m_counters;
    WatcherHealth &m_health;
    const ConfigManagerFactory &m_configs;
    QList<CodeWatcherModel> m_codeWatchers;
    QList<MonitorRegistry::WatcherFailure> m_unrestored;
    QSet<QUuid> m_processingWatchers;
    QHash<QUuid, qint64> m_counts;
    QHash<QUuid, QString> m_configNames;
};
