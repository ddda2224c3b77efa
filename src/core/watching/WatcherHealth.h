// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigurationCheckResult.h"
#include "core/formatting/ToolResolver.h"
#include "core/formatting/ToolStop.h"
#include "core/model/CodeWatcherModel.h"
#include "core/support/SerialQueue.h"
#include "core/watching/FixPipeline.h"
#include "core/watching/WatcherStatus.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <functional>
#include <optional>

class ConfigManagerFactory;
class MonitorRegistry;

struct WatcherHealthOptions
{
    // Whether a formatter takes a configuration's text; blocks while the tool runs.
    using Judge =
        std::function<ConfigurationCheckResult(SupportedFileExtension, const QString &text)>;

    ToolResolver resolver; // where the formatters are looked for, as the fixers look
    Judge judge;           // empty: the formatter itself is asked, as the editor asks it
    // The configurations are checked once `startChecks` is called: a window starting would
    // share the processor with the formatters' checks before its first paint.
    bool checksWait = false;
};

// What each watcher's row says: running, switched off, paused, or the problem that keeps it
// from formatting (folder missing, tool missing, configuration refused, last run failed), with
// the summary of its last "Run Fixers". It follows the registry, the pipeline's outcomes and
// the configuration store; each watcher's configuration is checked by its formatter on a queue
// of its own. Each new problem and each run's summary is written to the log. Main thread.
//
// Nothing is polled, so an agent at rest stays asleep: folders and tools are looked at again
// whenever anything happens to a watcher, and when a screen asks (`refresh`).
class WatcherHealth : public QObject
{
    Q_OBJECT

public:
    using Options = WatcherHealthOptions;

    WatcherHealth(MonitorRegistry &registry, FixPipeline &pipeline,
                  const ConfigManagerFactory &configurations, Options options = {},
                  QObject *parent = nullptr);
    ~WatcherHealth() override;

    // A watcher the registry does not know reads as switched off.
    WatcherStatus status(const QUuid &watcherId) const;
    // Whether a watcher the user switched on has a problem.
    bool needsAttention() const { return m_attention; }
    // Looks at everything again now: folders, tools (a tool installed meanwhile is checked with
    // each configuration that uses it). The window calls it when the user comes back to it.
    void refresh();
    // Lets the configurations be checked (when the options made them wait).
    void startChecks();

Q_SIGNALS:
    void statusChanged(const QUuid &watcherId);
    void attentionChanged(bool needed);
    // A watcher the user switched on meets a problem it has not met since the program started.
    void problemAppeared(const QString &watcherName, const WatcherStatus &status);

private:
    struct Check
    {
        std::optional<ConfigurationCheckResult> result;
        int running = 0;
    };

    void refreshSoon();
    WatcherStatus evaluate(const CodeWatcherModel &watcher, const QString &root,
                           const std::optional<QString> &unrestoredReason);
    void publish(const QHash<QUuid, WatcherStatus> &next, const QHash<QUuid, QString> &names);
    void tell(const QUuid &watcherId, const QString &name, const WatcherStatus &before,
              const WatcherStatus &now);
    void lookForTools();
    void checkConfiguration(const QUuid &configurationId, SupportedFileExtension language,
                            bool again);
    void checked(const QByteArray &digest, const ConfigurationCheckResult &result);
    void forgetUnusedChecks();
    void fileFinished(const FixOutcome &outcome);
    void runFinished(const QUuid &watcherId, const RunSummary &summary);
    QString nameOf(const QUuid &watcherId) const;
    const CodeWatcherModel *watcher(const QUuid &watcherId) const;

    MonitorRegistry &m_registry;
    Options m_options;
    const ConfigManagerFactory &m_configurations;
    bool m_refreshQueued = false;
    bool m_mayCheck = true;
    bool m_attention = false;
    QHash<QUuid, WatcherStatus> m_statuses;
    QHash<QUuid, CodeWatcherModel> m_watchers;
    QHash<QUuid, QString> m_failures; // the last failure of a watcher, until a fix succeeds
    QHash<QUuid, RunSummary> m_lastRuns;
    QHash<QUuid, QByteArray> m_digests; // by configuration: of its language and text
    QHash<QByteArray, Check> m_checks;  // by digest
    QHash<QString, bool> m_tools;       // by executable: found when last looked for
    QSet<QString> m_told;               // watcher id and state already met, for problemAppeared
    ToolStop m_stop;
    SerialQueue m_queue; // last, so it is joined before anything its task uses goes
};
