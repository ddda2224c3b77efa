// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherStatus.h"

using namespace Qt::StringLiterals;

bool WatcherStatus::isProblem() const
{
    switch (state) {
    case State::running:
    case State::switchedOff:
    case State::paused:
        return false;
    case State::folderMissing:
    case State::toolMissing:
    case State::configurationRefused:
    case State::lastRunFailed:
    case State::notWatched:
        break;
    }
    return true;
}

QString WatcherStatus::shortText() const
{
    switch (state) {
    case State::running:
        return u"Running"_s;
    case State::switchedOff:
        return u"Switched off"_s;
    case State::paused:
        return u"Paused"_s;
    case State::folderMissing:
        return u"Folder missing"_s;
    case State::toolMissing:
        return u"Tool missing"_s;
    case State::configurationRefused:
        return u"Configuration refused"_s;
    case State::lastRunFailed:
        return u"Last run failed"_s;
    case State::notWatched:
        return u"Not watched"_s;
    }
    return {};
}

namespace {

QString sentence(const QString &text)
{
    return text.endsWith(u'.') || text.endsWith(u'!') || text.endsWith(u'?') ? text : text + u'.';
}

QString explanation(WatcherStatus::State state, const QString &detail)
{
    using State = WatcherStatus::State;
    switch (state) {
    case State::running:
        return u"every file saved in its folder is formatted."_s;
    case State::switchedOff:
        return u"files saved in its folder are left as they are."_s;
    case State::paused:
        return u"Sprucer is deactivated; choose Activate in its menu to resume."_s;
    case State::folderMissing:
        return detail + u" is not there. It is watched again when it comes back."_s;
    case State::toolMissing:
        return detail + u" Install it: the Configurations screen says how."_s;
    case State::configurationRefused:
        return sentence(detail) + u" Every fix fails until the configuration is mended."_s;
    case State::lastRunFailed:
    case State::notWatched:
        break;
    }
    return detail;
}

} // namespace

QString WatcherStatus::description() const
{
    QString text = sentence(shortText() + u": "_s + explanation(state, detail));
    if (lastRun)
        text += u" Last run: "_s + lastRun->text() + u'.';
    return text;
}
