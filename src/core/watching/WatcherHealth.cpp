// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherHealth.h"

#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/ConfigurationProbe.h"
#include "core/formatting/ToolProfile.h"
#include "core/support/LocalPath.h"
#include "core/support/Log.h"
#include "core/watching/MonitorRegistry.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;
using State = WatcherStatus::State;

namespace {

constexpr std::chrono::milliseconds kCheckTimeLimit{10000};
constexpr qint64 kLargestConfiguration = qint64{1024} * 1024;

void log(const QString &line)
{
    Log::line(line);
}

std::optional<QString> readConfiguration(const QUrl &url)
{
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestConfiguration)
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

QString firstLine(const QString &text)
{
    return text.section(u'\n', 0, 0).trimmed();
}

QString failureOfRun(const RunSummary &summary)
{
    if (summary.failed == 1)
        return summary.firstFailure;
    return u"%1 of %2 files failed; the first, "_s.arg(summary.failed).arg(summary.checked) +
           summary.firstFailure;
}

} // namespace

WatcherHealth::WatcherHealth(MonitorRegistry &registry, FixPipeline &pipeline,
                             const ConfigManagerFactory &configurations, Options options,
                             QObject *parent)
    : QObject(parent)
    , m_registry(registry)
    , m_options(std::move(options))
    , m_configurations(configurations)
    , m_mayCheck(!m_options.checksWait)
    , m_queue(u"Watcher health"_s)
{
    if (!m_options.judge) {
        m_options.judge = [resolver = m_options.resolver,
                           stop = &m_stop](SupportedFileExtension language, const QString &text) {
            return ConfigurationProbe(resolver, kCheckTimeLimit, stop).check(language, text);
        };
    }
    // At once, not on the next turn: made before the screens, this hears of a change before
    // they do, so a row redrawn for it already reads its new status.
    connect(&registry, &MonitorRegistry::monitorsChanged, this, &WatcherHealth::refresh);
    connect(&pipeline, &FixPipeline::fileFinished, this, &WatcherHealth::fileFinished);
    connect(&pipeline, &FixPipeline::runFinished, this, &WatcherHealth::runFinished);
    // Edited, its text may be taken now, or no longer.
    connect(&m_configurations, &ConfigManagerFactory::configsChanged, this, [this] {
        for (const CodeWatcherModel &each : std::as_const(m_watchers))
            checkConfiguration(each.configurationId, each.codeKind, false);
        forgetUnusedChecks();
    });
    refresh();
}

WatcherHealth::~WatcherHealth()
{
    // A check under way ends as soon as its tool is killed; its answer goes with this object.
    m_stop.refuseNewRuns();
    m_stop.stopRunning();
}

WatcherStatus WatcherHealth::status(const QUuid &watcherId) const
{
    return m_statuses.value(watcherId, WatcherStatus{State::switchedOff, {}, {}, false});
}

const CodeWatcherModel *WatcherHealth::watcher(const QUuid &watcherId) const
{
    const auto found = m_watchers.constFind(watcherId);
    return found == m_watchers.cend() ? nullptr : &*found;
}

QString WatcherHealth::nameOf(const QUuid &watcherId) const
{
    const CodeWatcherModel *found = watcher(watcherId);
    return found ? found->name : QString();
}

void WatcherHealth::startChecks()
{
    if (std::exchange(m_mayCheck, true))
        return;
    refresh();
}

void WatcherHealth::refreshSoon()
{
    // A delivery of many files, or several changes of one operation, make one refresh.
    if (std::exchange(m_refreshQueued, true))
        return;
    QMetaObject::invokeMethod(this, &WatcherHealth::refresh, Qt::QueuedConnection);
}

void WatcherHealth::refresh()
{
    m_refreshQueued = false;
    QHash<QUuid, WatcherStatus> next;
    QHash<QUuid, QString> names;
    const QList<MonitorEntry> entries = m_registry.monitors();
    m_watchers.clear();
    for (const MonitorEntry &entry : entries)
        m_watchers.insert(entry.watcher.id, entry.watcher);
    lookForTools();
    for (const MonitorEntry &entry : entries) {
        names.insert(entry.watcher.id, entry.watcher.name);
        if (!m_digests.contains(entry.watcher.configurationId))
            checkConfiguration(entry.watcher.configurationId, entry.watcher.codeKind, false);
        next.insert(entry.watcher.id,
                    evaluate(entry.watcher, entry.monitor->rootPath(), std::nullopt));
    }
    for (const MonitorRegistry::WatcherFailure &unrestored : m_registry.unrestoredWatchers()) {
        names.insert(unrestored.watcher.id, unrestored.watcher.name);
        next.insert(unrestored.watcher.id,
                    evaluate(unrestored.watcher, LocalPath::fromUrl(unrestored.watcher.url),
                             unrestored.error.description));
    }
    publish(next, names);
}

WatcherStatus WatcherHealth::evaluate(const CodeWatcherModel &watcher, const QString &root,
                                      const std::optional<QString> &unrestoredReason)
{
    WatcherStatus status;
    if (m_lastRuns.contains(watcher.id))
        status.lastRun = m_lastRuns.value(watcher.id);
    const Check check = m_checks.value(m_digests.value(watcher.configurationId));
    const auto said = [&check](ConfigurationCheckResult::State state) {
        return check.result && check.result->state == state;
    };
    if (!QFileInfo(root).isDir()) {
        status.state = State::folderMissing;
        status.detail = root;
    } else if (unrestoredReason) {
        status.state = State::notWatched;
        status.detail = firstLine(*unrestoredReason);
    } else if (!watcher.isActivated) {
        status.state = State::switchedOff;
    } else if (m_registry.isPaused()) {
        status.state = State::paused;
    } else if (!m_tools.value(ToolProfile::of(watcher.codeKind).executable) ||
               said(ConfigurationCheckResult::State::toolMissing)) {
        status.state = State::toolMissing;
        status.detail = ToolProfile::of(watcher.codeKind).displayName + u" is not installed."_s;
    } else if (said(ConfigurationCheckResult::State::refused)) {
        status.state = State::configurationRefused;
        status.detail = check.result->toolName + u" says: "_s + firstLine(check.result->message);
    } else if (m_failures.contains(watcher.id)) {
        status.state = State::lastRunFailed;
        status.detail = m_failures.value(watcher.id);
    }
    status.needsAttention = status.isProblem() && watcher.isActivated && !m_registry.isPaused();
    return status;
}

void WatcherHealth::publish(const QHash<QUuid, WatcherStatus> &next,
                            const QHash<QUuid, QString> &names)
{
    QList<QUuid> changed;
    bool attention = false;
    for (auto it = next.cbegin(); it != next.cend(); ++it) {
        attention = attention || it->needsAttention;
        const auto before = m_statuses.constFind(it.key());
        if (before != m_statuses.cend() && *before == *it)
            continue;
        changed.append(it.key());
        tell(it.key(), names.value(it.key()),
             before == m_statuses.cend() ? WatcherStatus{} : *before, *it);
    }
    for (auto it = m_statuses.cbegin(); it != m_statuses.cend(); ++it) {
        if (!next.contains(it.key()))
            changed.append(it.key());
    }
    m_statuses = next;
    for (const QUuid &id : std::as_const(changed))
        Q_EMIT statusChanged(id);
    if (std::exchange(m_attention, attention) != attention)
        Q_EMIT attentionChanged(attention);
}

// The log hears of each new problem and of each recovery; the desktop of a problem met for the
// first time.
void WatcherHealth::tell(const QUuid &watcherId, const QString &name, const WatcherStatus &before,
                         const WatcherStatus &now)
{
    const bool newProblem =
        now.isProblem() && (now.state != before.state || now.detail != before.detail);
    if (newProblem)
        log(u"⚠️ Watcher \"%1\": "_s.arg(name) + now.shortText() + u": "_s + now.detail);
    else if (before.isProblem() && now.state == State::running)
        log(u"✅ Watcher \"%1\" is running again"_s.arg(name));
    const QString met = watcherId.toString() + u'/' + QString::number(int(now.state));
    if (now.needsAttention && !m_told.contains(met)) {
        m_told.insert(met);
        Q_EMIT problemAppeared(name, now);
    }
}

// A few looks at file metadata, whenever anything happens: no timer wakes an agent at rest.
void WatcherHealth::lookForTools()
{
    QSet<QString> lookedFor;
    for (const CodeWatcherModel &watcher : std::as_const(m_watchers)) {
        const QString executable = ToolProfile::of(watcher.codeKind).executable;
        if (lookedFor.contains(executable))
            continue;
        lookedFor.insert(executable);
        const bool there = m_options.resolver.resolve(executable).has_value();
        const auto known = m_tools.find(executable);
        if (known == m_tools.end()) {
            m_tools.insert(executable, there);
            continue;
        }
        if (std::exchange(*known, there) == there)
            continue;
        // Installed or removed meanwhile: what it says of each configuration may differ now.
        for (const CodeWatcherModel &each : std::as_const(m_watchers)) {
            if (ToolProfile::of(each.codeKind).executable == executable)
                checkConfiguration(each.configurationId, each.codeKind, true);
        }
    }
}

void WatcherHealth::checkConfiguration(const QUuid &configurationId,
                                       SupportedFileExtension language, bool again)
{
    if (!m_mayCheck)
        return; // the refresh of startChecks asks again
    const Result<ConfigurationItem> item = m_configurations.getConfig(configurationId);
    const std::optional<QString> text = item ? readConfiguration(item.value().path) : std::nullopt;
    if (!text) {
        m_digests.remove(configurationId);
        return;
    }
    // Watchers often share a style, or keep copies of one: a text is checked once.
    const QByteArray digest =
        QCryptographicHash::hash((SupportedFileExtensions::code(language) + u'\n' + *text).toUtf8(),
                                 QCryptographicHash::Sha256);
    m_digests.insert(configurationId, digest);
    Check &check = m_checks[digest];
    if (check.running > 0 || (check.result && !again))
        return;
    ++check.running;
    m_queue.post([this, judge = m_options.judge, digest, language, text = *text] {
        const ConfigurationCheckResult result = judge(language, text);
        QMetaObject::invokeMethod(
            this, [this, digest, result] { checked(digest, result); }, Qt::QueuedConnection);
    });
}

void WatcherHealth::checked(const QByteArray &digest, const ConfigurationCheckResult &result)
{
    Check &check = m_checks[digest];
    --check.running;
    // A tool that did not answer says nothing either way.
    if (result.state != ConfigurationCheckResult::State::notChecked)
        check.result = result;
    refreshSoon();
}

void WatcherHealth::forgetUnusedChecks()
{
    const QList<QByteArray> used = m_digests.values();
    m_checks.removeIf([&used](const auto &check) {
        return check.value().running == 0 && !used.contains(check.key());
    });
}

void WatcherHealth::fileFinished(const FixOutcome &outcome)
{
    // A run's files are judged together when it ends.
    if (outcome.origin == FixOutcome::Origin::run)
        return;
    const QUuid &watcherId = outcome.watcherId;
    switch (outcome.result) {
    case FixOutcome::Result::failed:
        m_failures.insert(watcherId, RunSummary::failureOf(outcome.path, outcome.reason));
        // Perhaps the configuration is what the tool refused.
        if (const CodeWatcherModel *failed = watcher(watcherId))
            checkConfiguration(failed->configurationId, failed->codeKind, true);
        break;
    case FixOutcome::Result::changed:
    case FixOutcome::Result::unchanged:
        m_failures.remove(watcherId);
        break;
    case FixOutcome::Result::skipped:
    case FixOutcome::Result::refused:
        return;
    }
    refreshSoon();
}

void WatcherHealth::runFinished(const QUuid &watcherId, const RunSummary &summary)
{
    m_lastRuns.insert(watcherId, summary);
    if (summary.failed > 0) {
        m_failures.insert(watcherId, failureOfRun(summary));
        if (const CodeWatcherModel *failed = watcher(watcherId))
            checkConfiguration(failed->configurationId, failed->codeKind, true);
    } else {
        m_failures.remove(watcherId);
    }
    log(u"Run Fixers on \"%1\": "_s.arg(nameOf(watcherId)) + summary.text());
    refreshSoon();
}
