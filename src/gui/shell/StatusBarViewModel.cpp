// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/StatusBarViewModel.h"

#include "core/watching/MonitorRegistry.h"
#include "gui/support/Palette.h"
#include "gui/support/SymbolIcons.h"

StatusBarViewModel::StatusBarViewModel(MonitorRegistry &registry, QObject *parent)
    : QAbstractListModel(parent)
    , m_registry(registry)
{
    connect(&registry, &MonitorRegistry::monitorsChanged, this, [this] {
        QMetaObject::invokeMethod(this, &StatusBarViewModel::refresh, Qt::QueuedConnection);
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
    switch (role) {
    case Qt::DisplayRole:
        return watcher.name;
    case Qt::DecorationRole:
        return watcher.isActivated
                   ? SymbolIcons::icon(QStringLiteral("checkmark.circle.fill"), Palette::green())
                   : SymbolIcons::icon(QStringLiteral("circle"));
    case Qt::AccessibleTextRole:
        return QString(watcher.name + (watcher.isActivated ? QStringLiteral(", running")
                                                           : QStringLiteral(", stopped")));
    default:
        return {};
    }
}

void StatusBarViewModel::refresh()
{
    QList<CodeWatcherModel> watchers;
    for (const MonitorEntry &entry : m_registry.monitors())
        watchers.append(entry.watcher);
    beginResetModel();
    m_codeWatchers = std::move(watchers);
    endResetModel();
}
