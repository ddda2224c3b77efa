// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/CodeWatcherModel.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

class MonitorRegistry;

// The model behind the watcher table: the registry's watchers as a list, the ids of watchers
// being processed now (for a progress indicator per row), and a redraw signal when fix counts
// change. Main thread only. The table's commands go to the registry itself.
class CodeWatcherTableViewModel : public QObject
{
    Q_OBJECT

public:
    explicit CodeWatcherTableViewModel(MonitorRegistry &registry, QObject *parent = nullptr);

    const QList<CodeWatcherModel> &codeWatchers() const { return m_codeWatchers; }
    const QSet<QUuid> &processingWatchers() const { return m_processingWatchers; }
    bool isProcessing(const QUuid &watcherId) const;

Q_SIGNALS:
    // Anything a row shows may have changed: watchers, processing marks or counts.
    void changed();

private:
    void onNotification(const QString &name, const QVariantMap &userInfo);
    void reloadWatchers();

    MonitorRegistry &m_registry;
    QList<CodeWatcherModel> m_codeWatchers;
    QSet<QUuid> m_processingWatchers;
};
