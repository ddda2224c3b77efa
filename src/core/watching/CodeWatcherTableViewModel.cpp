// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/CodeWatcherTableViewModel.h"

#include "core/stats/CounterStore.h"
#include "core/support/NotificationCenter.h"
#include "core/watching/MonitorRegistry.h"

CodeWatcherTableViewModel::CodeWatcherTableViewModel(MonitorRegistry &registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
{
    reloadWatchers();
    connect(&NotificationCenter::shared(), &NotificationCenter::notified, this,
            &CodeWatcherTableViewModel::onNotification);
    connect(&CounterStore::shared(), &CounterStore::fixedCountChanged, this,
            &CodeWatcherTableViewModel::changed);
    connect(&m_registry, &MonitorRegistry::monitorsChanged, this, [this] {
        reloadWatchers();
        Q_EMIT changed();
    });
}

bool CodeWatcherTableViewModel::isProcessing(const QUuid &watcherId) const
{
    return m_processingWatchers.contains(watcherId);
}

void CodeWatcherTableViewModel::reloadWatchers()
{
    QList<CodeWatcherModel> watchers;
    for (const MonitorEntry &entry : m_registry.monitors())
        watchers.append(entry.watcher);
    m_codeWatchers = watchers;
}

void CodeWatcherTableViewModel::onNotification(const QString &name, const QVariantMap &userInfo)
{
    const bool started = name == QStringLiteral("fileProcessingStarted");
    if (!started && name != QStringLiteral("fileProcessingComplete"))
        return;
    const QVariant id = userInfo.value(QStringLiteral("watcherId"));
    if (id.typeId() != QMetaType::QUuid)
        return;
    const QUuid watcherId = id.toUuid();
    const bool changedSet = started ? (m_processingWatchers.insert(watcherId), true)
                                    : m_processingWatchers.remove(watcherId);
    if (changedSet)
        Q_EMIT changed();
}
