// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/RecoveryFile.h"

#include "core/support/SprucerLogger.h"
#include "core/support/WriteProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <cstdio>

namespace RecoveryFile {

namespace {

QString failed(const QString &path)
{
    const QString reason = WriteProbe::whyNotWritable(path);
    return reason.isEmpty() ? QStringLiteral("the file could not be written") : reason;
}

} // namespace

QString defaultPath()
{
    return QFileInfo(SprucerLogger::shared().logFilePath()).absolutePath() +
           QStringLiteral("/settings-recovery.ini");
}

bool write(const QString &path, const QMap<QString, QVariant> &values, QString *failure)
{
    const QString fresh = path + QStringLiteral(".new");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(fresh); // the values of an older attempt are not these
    {
        QSettings file(fresh, QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            file.setValue(it.key(), it.value());
        file.sync();
        if (file.status() != QSettings::NoError) {
            *failure = failed(fresh);
            QFile::remove(fresh);
            return false;
        }
    }
    // An older recovery file stays whole until this one is.
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) !=
        0) {
        *failure = qt_error_string(errno);
        QFile::remove(fresh);
        return false;
    }
    return true;
}

} // namespace RecoveryFile
