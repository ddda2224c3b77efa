// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigurationCheckResult.h"
#include "core/formatting/ToolResolver.h"
#include "core/formatting/ToolStop.h"
#include "core/model/SupportedFileExtension.h"
#include "core/support/SerialQueue.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <optional>

// Tells the configuration editor whether the language's tool takes the text being typed.
//
// The text is checked once typing has paused, on a queue of the check's own, one check at a
// time: a text typed while a check runs is checked after it, and only the latest such text.
// "checked" comes on the thread the object lives on (the main thread), and only for the text
// last requested, so a late answer never stands under a newer text. A tool found missing is
// remembered for the object's life and reported again without running anything.
//
// Destroying the object kills the tool under way and waits only for that.
class ConfigurationCheck : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultPause{600};
    static constexpr std::chrono::milliseconds defaultTimeLimit{10000};

    explicit ConfigurationCheck(ToolResolver resolver = {},
                                std::chrono::milliseconds pause = defaultPause,
                                QObject *parent = nullptr);
    ~ConfigurationCheck() override;

    // On every edit; returns at once.
    void request(SupportedFileExtension language, const QString &text);
    // The text last requested is checked without waiting for typing to pause (the user wants
    // to save it); returns at once.
    void checkNow();

    // How long a tool may take before the check gives up on it and kills it.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

Q_SIGNALS:
    void checked(const ConfigurationCheckResult &result);

private:
    struct Subject
    {
        SupportedFileExtension language = SupportedFileExtension::cpp;
        QString text;
        friend bool operator==(const Subject &, const Subject &) = default;
    };

    void checkLatest();
    void start(const Subject &subject);
    void finish(const Subject &subject, const ConfigurationCheckResult &result);
    void deliver(const Subject &subject, const ConfigurationCheckResult &result);

    ToolResolver m_resolver;
    std::chrono::milliseconds m_timeLimit = defaultTimeLimit;
    QTimer m_pause;
    std::optional<Subject> m_latest;    // the text last requested
    std::optional<Subject> m_delivered; // the text the last result was for
    bool m_running = false;
    QSet<QString> m_missingTools; // executables
    ToolStop m_stop;
    SerialQueue m_queue; // last, so it is joined before anything its task uses goes
};
