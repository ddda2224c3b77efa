// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/RegistryFixture.h"

#include "core/telemetry/UsageSignals.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

void RecordingFixer::fix(const QUrl &file)
{
    const int running = ++m_running;
    int seen = m_maxConcurrent;
    while (running > seen && !m_maxConcurrent.compare_exchange_weak(seen, running)) {
    }
    {
        QMutexLocker lock(&m_mutex);
        m_files.append(file);
    }
    if (m_held) {
        m_waiting.release();
        m_gate.acquire();
    }
    --m_running;
}

QList<QUrl> RecordingFixer::fixedFiles() const
{
    QMutexLocker lock(&m_mutex);
    return m_files;
}

void RecordingFixer::release()
{
    m_held = false;
    m_gate.release(1000);
}

bool RecordingFixer::waitForWaiting(int count, int timeoutMs)
{
    return m_waiting.tryAcquire(count, timeoutMs);
}

SignalRecorder::SignalRecorder()
{
    UsageSignals::setSink([this](const UsageSignal &signal) {
        QMutexLocker lock(&m_mutex);
        m_signals.append(signal);
    });
}

SignalRecorder::~SignalRecorder()
{
    UsageSignals::setSink({});
}

QList<UsageSignal> SignalRecorder::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_signals;
}

QStringList SignalRecorder::names() const
{
    QStringList names;
    for (const UsageSignal &signal : received())
        names.append(signal.name);
    return names;
}

void SignalRecorder::clear()
{
    QMutexLocker lock(&m_mutex);
    m_signals.clear();
}

RegistryFixture::RegistryFixture(MonitorRegistry::Timings timings)
    : m_timings(timings)
{}

MonitorRegistry::Timings RegistryFixture::fastTimings()
{
    using namespace std::chrono_literals;
    return MonitorRegistry::Timings{50ms, 300ms};
}

QString RegistryFixture::makeProject(const QString &name, const QMap<QString, QString> &files)
{
    const QString root = m_projects.path() + u'/' + name;
    QDir().mkpath(root);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = root + u'/' + it.key();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(it.value().toUtf8());
    }
    return root;
}

QUuid RegistryFixture::makeConfiguration(SupportedFileExtension language)
{
    const QUuid id = QUuid::createUuid();
    m_configs.createConfig(id, QStringLiteral("BasedOnStyle: LLVM\n"), language,
                           QStringLiteral("Test style"));
    return id;
}

CodeWatcherModel RegistryFixture::makeWatcher(const QString &projectPath,
                                              SupportedFileExtension language, bool activated)
{
    CodeWatcherModel watcher = CodeWatcherModel::make(QFileInfo(projectPath).fileName(),
                                                      QUrl::fromLocalFile(projectPath + u'/'),
                                                      language, makeConfiguration(language));
    watcher.isActivated = activated;
    return watcher;
}

MonitorRegistry &RegistryFixture::registry()
{
    if (!m_registry)
        recreateRegistry();
    return *m_registry;
}

void RegistryFixture::recreateRegistry()
{
    m_registry.reset();
    ConfigManagerFactory configs;
    m_registry = std::make_unique<MonitorRegistry>(
        m_timings,
        [this, configs](const CodeWatcherModel &watcher) -> Result<std::shared_ptr<IFixer>> {
            Result<QUrl> configuration = configs.configURL(watcher.configurationId);
            if (!configuration)
                return configuration.error();
            auto fixer = m_fixers.value(watcher.id);
            if (!fixer) {
                fixer = std::make_shared<RecordingFixer>();
                m_fixers.insert(watcher.id, fixer);
            }
            return std::shared_ptr<IFixer>(fixer);
        });
}

std::shared_ptr<RecordingFixer> RegistryFixture::fixerFor(const QUuid &watcherId) const
{
    return m_fixers.value(watcherId);
}
