// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StandInTool.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace StandInTool {

QString write(const QString &directory, const QString &name, const QString &body)
{
    QDir().mkpath(directory);
    const QString path = directory + u'/' + name;
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the stand-in %s", qPrintable(path));
    script.write("#!/bin/sh\nfor file; do :; done\n" + body.toUtf8() + '\n');
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

QString recordArguments(const QString &recordPath)
{
    return u"printf '%s\\n' \"$@\" > '"_s + recordPath + u"'\n"_s;
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace StandInTool
