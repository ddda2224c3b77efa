// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LogFile.h"

#include "core/support/SprucerLogger.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace LogFile {

QString text()
{
    SprucerLogger::shared().flush();
    QFile file(SprucerLogger::shared().logFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList lines()
{
    return text().split(u'\n', Qt::SkipEmptyParts);
}

QStringList messages()
{
    QStringList messages;
    for (const QString &line : lines())
        messages << line.mid(line.indexOf(u"] "_s) + 2);
    return messages;
}

void clear()
{
    SprucerLogger::shared().flush();
    QFile::remove(SprucerLogger::shared().logFilePath());
}

} // namespace LogFile
