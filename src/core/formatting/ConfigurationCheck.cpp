// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigurationCheck.h"

#include "core/formatting/ConfigurationProbe.h"
#include "core/formatting/ToolProfile.h"

using namespace Qt::StringLiterals;
using State = ConfigurationCheckResult::State;

ConfigurationCheck::ConfigurationCheck(ToolResolver resolver, std::chrono::milliseconds pause,
                                       QObject *parent)
    : QObject(parent)
    , m_resolver(std::move(resolver))
    , m_queue(u"Configuration check"_s)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(pause);
    connect(&m_pause, &QTimer::timeout, this, &ConfigurationCheck::checkLatest);
}

ConfigurationCheck::~ConfigurationCheck()
{
    // The queue's task ends as soon as its tool is killed; its answer dies with this object.
    m_stop.stopRunning();
}

void ConfigurationCheck::request(SupportedFileExtension language, const QString &text)
{
    m_latest = Subject{language, text};
    m_pause.start();
}

void ConfigurationCheck::checkNow()
{
    m_pause.stop();
    checkLatest();
}

void ConfigurationCheck::checkLatest()
{
    // A check under way starts the next itself when it ends.
    if (m_running || !m_latest || m_latest == m_delivered)
        return;
    const Subject subject = *m_latest;
    if (m_missingTools.contains(ToolProfile::of(subject.language).executable))
        deliver(subject, ConfigurationProbe::toolMissing(subject.language));
    else
        start(subject);
}

void ConfigurationCheck::start(const Subject &subject)
{
    m_running = true;
    const ConfigurationProbe probe(m_resolver, m_timeLimit, &m_stop);
    m_queue.post([this, probe, subject] {
        const ConfigurationCheckResult result = probe.check(subject.language, subject.text);
        QMetaObject::invokeMethod(
            this, [this, subject, result] { finish(subject, result); }, Qt::QueuedConnection);
    });
}

void ConfigurationCheck::finish(const Subject &subject, const ConfigurationCheckResult &result)
{
    m_running = false;
    if (result.state == State::toolMissing)
        m_missingTools.insert(ToolProfile::of(subject.language).executable);
    if (subject == m_latest)
        deliver(subject, result);
    else if (!m_pause.isActive())
        checkLatest(); // typed during the check, and has paused since
}

void ConfigurationCheck::deliver(const Subject &subject, const ConfigurationCheckResult &result)
{
    m_delivered = subject;
    Q_EMIT checked(result);
}
