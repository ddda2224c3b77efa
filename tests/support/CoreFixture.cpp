// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CoreFixture.h"

#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;

CoreFixture::CoreFixture(std::chrono::milliseconds echoWindow)
    : m_echoWindow(echoWindow)
{}

QString CoreFixture::makeProject(const QString &name, const QMap<QString, QString> &files)
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

CodeWatcherModel CoreFixture::makeWatcher(const QString &projectPath,
                                          SupportedFileExtension language, bool activated,
                                          const QString &configuration)
{
    const QUuid configurationId = QUuid::createUuid();
    configurations().createConfig(configurationId, configuration, language, u"Test style"_s);
    CodeWatcherModel watcher =
        CodeWatcherModel::make(QFileInfo(projectPath).fileName(),
                               QUrl::fromLocalFile(projectPath + u'/'), language, configurationId);
    watcher.isActivated = activated;
    return watcher;
}

CoreServices &CoreFixture::core()
{
    if (!m_core)
        restart();
    return *m_core;
}

void CoreFixture::restart()
{
    m_core.reset();
    CoreServices::Options options;
    options.latency = 50ms;
    options.processedFilesWindow = m_echoWindow;
    options.makeFixer = [this](const CodeWatcherModel &watcher) -> Result<std::shared_ptr<IFixer>> {
        if (Result<QUrl> configuration = configurations().configURL(watcher.configurationId);
            !configuration)
            return configuration.error();
        std::shared_ptr<RecordingFixer> &fixer = m_fixers[watcher.id];
        if (!fixer)
            fixer = std::make_shared<RecordingFixer>();
        return std::shared_ptr<IFixer>(fixer);
    };
    if (m_makeFixer)
        options.makeFixer = m_makeFixer;
    options.health = m_health;
    options.settings = &TestHome::settings();
    options.sendSignal = [this](const QString &name, const QMap<QString, QString> &parameters) {
        QMutexLocker lock(&m_signalsMutex);
        m_signals.append(parameters.size() == 1
                             ? name + u':' + parameters.firstKey() + u'=' + parameters.first()
                             : name);
    };
    m_core = std::make_unique<CoreServices>(Platform::services(), std::move(options));
}

std::shared_ptr<RecordingFixer> CoreFixture::fixerFor(const QUuid &watcherId) const
{
    return m_fixers.value(watcherId);
}

QStringList CoreFixture::sentSignals() const
{
    QMutexLocker lock(&m_signalsMutex);
    return m_signals;
}

void CoreFixture::clearSentSignals()
{
    QMutexLocker lock(&m_signalsMutex);
    m_signals.clear();
}
