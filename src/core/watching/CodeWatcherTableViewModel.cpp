// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/CodeWatcherTableViewModel.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/stats/CounterStore.h"
#include "core/support/LocalPath.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/FixProgress.h"
#include "core/watching/MonitorRegistry.h"
#include "core/watching/WatcherHealth.h"

CodeWatcherTableViewModel::CodeWatcherTableViewModel(MonitorRegistry &registry,
                                                     NotificationCenter &notifications,
                                                     const FixProgress &progress,
                                                     CounterStore &counters, WatcherHealth &health,
                                                     const ConfigManagerFactory &configurations,
                                                     QObject *parent)
    : QAbstractTableModel(parent)
    , m_registry(registry)
    , m_progress(progress)
    , m_counters(counters)
    , m_health(health)
    , m_configs(configurations)
{
    reloadConfigNames();
    reloadWatchers();
    reloadCounts();
    connect(&notifications, &NotificationCenter::fileProcessingStarted, this,
            [this](const QUuid &id) { setProcessing(id, true); });
    connect(&notifications, &NotificationCenter::fileProcessingComplete, this,
            [this](const QUuid &id) { setProcessing(id, false); });
    connect(&counters, &CounterStore::fixedCountChanged, this,
            &CodeWatcherTableViewModel::reloadCounts);
    connect(&registry, &MonitorRegistry::monitorsChanged, this,
            &CodeWatcherTableViewModel::reloadWatchers);
    // Once per file of a whole tree: only the cell that shows it is redrawn.
    connect(&progress, &FixProgress::progressChanged, this, [this](const QUuid &id) {
        if (const int row = rowOf(id); row >= 0)
            Q_EMIT dataChanged(index(row, fixAllColumn), index(row, fixAllColumn));
    });
    connect(&m_configs, &ConfigManagerFactory::configsChanged, this,
            &CodeWatcherTableViewModel::reloadConfigNames);
    connect(&health, &WatcherHealth::statusChanged, this, [this](const QUuid &id) {
        for (int row = 0; row < rowCount(); ++row) {
            if (watcherAt(row)->id == id)
                rowChanged(row);
        }
    });
}

bool CodeWatcherTableViewModel::isProcessing(const QUuid &watcherId) const
{
    return m_processingWatchers.contains(watcherId);
}

int CodeWatcherTableViewModel::rowOf(const QUuid &watcherId) const
{
    for (int row = 0; row < m_codeWatchers.size(); ++row) {
        if (m_codeWatchers[row].id == watcherId)
            return row;
    }
    return -1;
}

void CodeWatcherTableViewModel::rowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, removeColumn));
}

void CodeWatcherTableViewModel::reloadWatchers()
{
    QList<CodeWatcherModel> next;
    QSet<QUuid> nextIds;
    for (const MonitorEntry &entry : m_registry.monitors()) {
        next.append(entry.watcher);
        nextIds.insert(entry.watcher.id);
    }
    for (int row = int(m_codeWatchers.size()) - 1; row >= 0; --row) {
        if (nextIds.contains(m_codeWatchers[row].id))
            continue;
        beginRemoveRows({}, row, row);
        m_codeWatchers.removeAt(row);
        endRemoveRows();
    }
    for (int row = 0; row < next.size(); ++row)
        placeWatcher(row, next[row]);
    reloadUnrestored();
}

void CodeWatcherTableViewModel::reloadUnrestored()
{
    const QList<MonitorRegistry::WatcherFailure> &next = m_registry.unrestoredWatchers();
    const bool same =
        std::equal(next.cbegin(), next.cend(), m_unrestored.cbegin(), m_unrestored.cend(),
                   [](const auto &a, const auto &b) { return a.watcher == b.watcher; });
    if (same)
        return;
    const int first = int(m_codeWatchers.size());
    if (!m_unrestored.isEmpty()) {
        beginRemoveRows({}, first, first + int(m_unrestored.size()) - 1);
        m_unrestored.clear();
        endRemoveRows();
    }
    if (!next.isEmpty()) {
        beginInsertRows({}, first, first + int(next.size()) - 1);
        m_unrestored = next;
        endInsertRows();
    }
}

const CodeWatcherModel *CodeWatcherTableViewModel::watcherAt(int row) const
{
    if (row >= 0 && row < m_codeWatchers.size())
        return &m_codeWatchers[row];
    const qsizetype tail = row - m_codeWatchers.size();
    return tail >= 0 && tail < m_unrestored.size() ? &m_unrestored[tail].watcher : nullptr;
}

// Makes `row` show `watcher`: as it is, changed, moved up from further down, or new.
void CodeWatcherTableViewModel::placeWatcher(int row, const CodeWatcherModel &watcher)
{
    const int current = rowOf(watcher.id);
    if (current < 0) {
        beginInsertRows({}, row, row);
        m_codeWatchers.insert(row, watcher);
        endInsertRows();
        return;
    }
    if (current != row) {
        beginMoveRows({}, current, current, {}, row);
        m_codeWatchers.move(current, row);
        endMoveRows();
    }
    if (m_codeWatchers[row] != watcher) {
        m_codeWatchers[row] = watcher;
        rowChanged(row);
    }
}

void CodeWatcherTableViewModel::setProcessing(const QUuid &watcherId, bool processing)
{
    const bool wasProcessing = m_processingWatchers.contains(watcherId);
    if (processing)
        m_processingWatchers.insert(watcherId);
    else
        m_processingWatchers.remove(watcherId);
    if (const int row = rowOf(watcherId); wasProcessing != processing && row >= 0)
        rowChanged(row);
}

void CodeWatcherTableViewModel::reloadCounts()
{
    for (int row = 0; row < m_codeWatchers.size(); ++row) {
        const QUuid id = m_codeWatchers[row].id;
        const qint64 count = m_counters.countFor(id);
        if (m_counts.value(id, -1) != count) {
            m_counts.insert(id, count);
            rowChanged(row);
        }
    }
}

void CodeWatcherTableViewModel::reloadConfigNames()
{
    QHash<QUuid, QString> names;
    for (const ConfigurationItem &item : m_configs.configs())
        names.insert(item.id, item.name);
    std::swap(m_configNames, names);
    for (int row = 0; row < m_codeWatchers.size(); ++row) {
        const QUuid id = m_codeWatchers[row].configurationId;
        if (names.value(id) != m_configNames.value(id)) {
            const QModelIndex cell = index(row, configNameColumn);
            Q_EMIT dataChanged(cell, cell);
        }
    }
}

int CodeWatcherTableViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_codeWatchers.size() + m_unrestored.size());
}

int CodeWatcherTableViewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : removeColumn + 1;
}

QVariant CodeWatcherTableViewModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CodeWatcherModel &watcher = *watcherAt(index.row());
    if (isUnrestored(index.row())) {
        const QString reason = m_unrestored[index.row() - m_codeWatchers.size()].error.description;
        if (role == unrestoredReasonRole ||
            (role == Qt::ToolTipRole && index.column() != statusColumn))
            return QString(QStringLiteral("Not watched: ") + reason);
        if (role == activatedRole || role == processingRole || role == canRunFixersRole)
            return false;
        if (role == Qt::CheckStateRole)
            return index.column() == activatedColumn ? QVariant(Qt::Unchecked) : QVariant();
    }
    switch (role) {
    case stateRole:
        return int(m_health.status(watcher.id).state);
    case needsAttentionRole:
        return m_health.status(watcher.id).needsAttention;
    case statusDetailRole:
        return statusDetail(watcher);
    case canRunFixersRole:
        return watcher.isActivated && !m_registry.isPaused() &&
               m_health.status(watcher.id).state != WatcherStatus::State::folderMissing;
    case Qt::AccessibleDescriptionRole:
        if (index.column() == nameColumn || index.column() == statusColumn)
            return m_health.status(watcher.id).description();
        return {};
    case watcherIdRole:
        return watcher.id;
    case processingRole:
        return isProcessing(watcher.id);
    case activatedRole:
        return watcher.isActivated;
    case fixedCountRole:
        return m_counters.countFor(watcher.id);
    case progressDoneRole:
        return qint64(m_progress.progress(watcher.id).done);
    case progressTotalRole:
        return qint64(m_progress.progress(watcher.id).total);
    case Qt::CheckStateRole:
        if (index.column() == activatedColumn)
            return watcher.isActivated ? Qt::Checked : Qt::Unchecked;
        return {};
    case gitBadgeRole:
        return gitBadge(m_registry.gitOptions(watcher.id));
    case Qt::ToolTipRole:
        if (index.column() == nameColumn)
            return gitDescription(m_registry.gitOptions(watcher.id));
        return cellHelp(index.column(), watcher);
    case Qt::AccessibleTextRole: {
        if (index.column() == nameColumn) {
            const QString git = gitDescription(m_registry.gitOptions(watcher.id));
            return git.isEmpty() ? QVariant() : QVariant(watcher.name + QStringLiteral(", ") + git);
        }
        const QString name = controlName(index.column(), watcher);
        return name.isEmpty() ? QVariant() : QVariant(name);
    }
    case Qt::DisplayRole:
    case Qt::EditRole:
        break;
    default:
        return {};
    }
    switch (index.column()) {
    case nameColumn:
        return watcher.name;
    case statusColumn:
        return m_health.status(watcher.id).shortText();
    case urlColumn:
        return LocalPath::shown(LocalPath::fromUrl(watcher.url));
    case fixAllColumn:
        return QStringLiteral("Run Fixers");
    case extensionColumn:
        return SupportedFileExtensions::code(watcher.codeKind);
    case configNameColumn:
        return m_configNames.value(watcher.configurationId);
    default:
        return {};
    }
}

QString CodeWatcherTableViewModel::gitBadge(const GitOptions &options)
{
    QStringList parts;
    if (options.respectGitignore)
        parts.append(QStringLiteral("git"));
    if (options.changedLinesOnly)
        parts.append(QStringLiteral("±"));
    return parts.join(u' ');
}

QString CodeWatcherTableViewModel::gitDescription(const GitOptions &options)
{
    QStringList parts;
    if (options.changedLinesOnly)
        parts.append(QStringLiteral("Formats only lines changed since the last commit"));
    if (options.respectGitignore)
        parts.append(QStringLiteral("Skips files git ignores"));
    return parts.join(QStringLiteral("; "));
}

QString CodeWatcherTableViewModel::statusDetail(const CodeWatcherModel &watcher) const
{
    const WatcherStatus status = m_health.status(watcher.id);
    if (status.isProblem())
        return status.detail;
    return status.state == WatcherStatus::State::running && status.lastRun ? status.lastRun->text()
                                                                           : QString();
}

QVariant CodeWatcherTableViewModel::cellHelp(int column, const CodeWatcherModel &watcher) const
{
    switch (column) {
    case statusColumn:
        return m_health.status(watcher.id).description();
    case urlColumn:
        return LocalPath::fromUrl(watcher.url); // whole: the cell elides it
    case fixAllColumn:
        return QStringLiteral("Format every file of this folder now");
    case extensionColumn:
        return QStringLiteral("Write the path of this watcher's configuration file to the log");
    case activatedColumn:
        return QStringLiteral("Watch this folder and format each file saved in it");
    case removeColumn:
        return QStringLiteral("Remove this watcher");
    default:
        return {};
    }
}

// A control drawn in a cell is read out with the row it acts on.
QString CodeWatcherTableViewModel::controlName(int column, const CodeWatcherModel &watcher)
{
    switch (column) {
    case fixAllColumn:
        return QStringLiteral("Run Fixers on ") + watcher.name;
    case extensionColumn:
        return QStringLiteral("Log the configuration file of ") + watcher.name;
    case activatedColumn:
        return QStringLiteral("Watch ") + watcher.name;
    case removeColumn:
        return QStringLiteral("Remove ") + watcher.name;
    default:
        return {};
    }
}

Qt::ItemFlags CodeWatcherTableViewModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == nameColumn && !isUnrestored(index.row()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool CodeWatcherTableViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || index.column() != nameColumn ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    return !isUnrestored(index.row()) &&
           m_registry.renameWatcher(m_codeWatchers[index.row()].id, value.toString()).ok();
}

QVariant CodeWatcherTableViewModel::headerData(int section, Qt::Orientation orientation,
                                               int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList titles{QStringLiteral("Name"),
                                    QStringLiteral("Status"),
                                    QStringLiteral("Url"),
                                    QStringLiteral("Fix All"),
                                    QStringLiteral("File extension to watch"),
                                    QStringLiteral("Config Name"),
                                    QStringLiteral("Is Activated"),
                                    QStringLiteral("Remove")};
    return titles.value(section);
}

QHash<int, QByteArray> CodeWatcherTableViewModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractTableModel::roleNames();
    names.insert(watcherIdRole, "watcherId");
    names.insert(processingRole, "processing");
    names.insert(activatedRole, "activated");
    names.insert(fixedCountRole, "fixedCount");
    names.insert(progressDoneRole, "progressDone");
    names.insert(progressTotalRole, "progressTotal");
    names.insert(unrestoredReasonRole, "unrestoredReason");
    names.insert(stateRole, "state");
    names.insert(needsAttentionRole, "needsAttention");
    names.insert(canRunFixersRole, "canRunFixers");
    names.insert(statusDetailRole, "statusDetail");
    return names;
}
