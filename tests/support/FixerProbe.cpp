// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FixerProbe.h"

#include "core/stats/CodeFixStatistics.h"
#include "support/LogFile.h"

#include <QFile>

namespace FixerProbe {

QString logText()
{
    return LogFile::text();
}

qint64 fixCount(const QString &language)
{
    qint64 count = 0;
    for (const DailyFix &fix : CodeFixStatistics::shared().dailyFixes())
        count += fix.language == language ? fix.count : 0;
    return count;
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace FixerProbe
