// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/watching/ReturnWatch.h"

#include <string>
#include <vector>

// One inotify watch on the deepest existing folder of a path that went away, moved down or up
// as the folders between come and go.
class InotifyReturnWatch final : public ReturnWatch
{
public:
    explicit InotifyReturnWatch(const QString &path);
    ~InotifyReturnWatch() override;
    InotifyReturnWatch(const InotifyReturnWatch &) = delete;
    InotifyReturnWatch &operator=(const InotifyReturnWatch &) = delete;

    bool open() override;
    int descriptor() const override { return m_fd; }
    bool hasReturned() override;

private:
    enum class Place
    {
        returned,
        waiting,
        unwatchable,
    };

    Place settle();
    void drain();

    std::string m_path;
    int m_fd = -1;
    int m_wd = -1;
    std::vector<char> m_buffer;
};
