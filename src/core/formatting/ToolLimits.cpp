// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ToolLimits.h"

#include <algorithm>
#include <cmath>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace {

constexpr qint64 kMiB = qint64{1024} * 1024;
constexpr qint64 kGiB = 1024 * kMiB;

// One decimal at most, none when it is whole: "2", "1.5".
QString rounded(double value)
{
    return QString::number(std::round(value * 10.0) / 10.0);
}

} // namespace

qint64 ToolLimits::defaultMemoryBytes()
{
    qint64 physical = 0;
#if defined(Q_OS_UNIX)
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        physical = qint64(pages) * qint64(pageSize);
#endif
    if (physical <= 0)
        return 2 * kGiB;
    return std::min(2 * kGiB, physical / 2);
}

ToolLimits ToolLimits::standard(std::chrono::milliseconds runTime)
{
    ToolLimits limits;
    limits.memoryBytes = defaultMemoryBytes();
    limits.processorTime = std::chrono::ceil<std::chrono::seconds>(runTime);
    return limits;
}

QString ToolLimits::sizeText(qint64 bytes)
{
    if (bytes >= kGiB)
        return rounded(double(bytes) / double(kGiB)) + QStringLiteral(" GiB");
    return rounded(double(bytes) / double(kMiB)) + QStringLiteral(" MiB");
}
