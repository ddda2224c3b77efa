// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SprucerLogger.h"

#include "core/support/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcSprucerLog, "sprucer.log", QtWarningMsg)

namespace {

// Qt has no "medium" time style: it is the long style without the time zone.
QString mediumTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    bool quoted = false;
    QString result;
    for (const QChar c : std::as_const(format)) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result.append(c);
    }
    return result.trimmed();
}

} // namespace

SprucerLogger &SprucerLogger::shared()
{
    static SprucerLogger instance;
    return instance;
}

SprucerLogger::SprucerLogger()
{
    // One writer thread keeps the lines in submission order.
    m_writer.setMaxThreadCount(1);
    m_writer.setObjectName(QStringLiteral("com.sprucer.logger"));
}

SprucerLogger::~SprucerLogger()
{
    m_writer.waitForDone();
}

QString SprucerLogger::timestampPrefix(const QDateTime &when, const QLocale &locale)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    const QString time = locale.toString(when.time(), mediumTimeFormat(locale));
    return u'[' + date + QStringLiteral(", ") + time + QStringLiteral("] ");
}

void SprucerLogger::log(const QString &message)
{
    const QString line =
        timestampPrefix(QDateTime::currentDateTime(), QLocale::system()) + message + u'\n';
    const QByteArray bytes = line.toUtf8();
    m_writer.start([this, bytes] { append(bytes); });
}

void SprucerLogger::flush()
{
    m_writer.waitForDone();
}

QString SprucerLogger::logFilePath() const
{
    return AppPaths::cachesDirectory() + QStringLiteral("/sprucer.log");
}

void SprucerLogger::append(const QByteArray &bytes)
{
    const QString path = logFilePath();
    if (keepsOpen(path))
        m_file.write(bytes);
    else
        openNew(path, bytes);
    qCDebug(lcSprucerLog) << "logEntry";
}

bool SprucerLogger::keepsOpen(const QString &path) const
{
    struct stat status = {};
    return m_file.isOpen() && m_file.fileName() == path &&
           ::stat(QFile::encodeName(path).constData(), &status) == 0 && status.st_dev == m_device &&
           status.st_ino == m_inode;
}

void SprucerLogger::openNew(const QString &path, const QByteArray &line)
{
    m_file.close();
    bool written = false;
    if (!QFileInfo::exists(path)) {
        // Made whole with its first line: a reader never finds an empty log.
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(line);
        if (!file.commit())
            return;
        written = true;
    }
    m_file.setFileName(path);
    // Unbuffered: each line is out when its write returns, as `flush` promises.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    struct stat status = {};
    if (::fstat(m_file.handle(), &status) != 0) {
        m_file.close();
        return;
    }
    m_device = status.st_dev;
    m_inode = status.st_ino;
    if (!written)
        m_file.write(line);
}

bool SprucerLogger::prepareExport()
{
    flush();
    if (QFileInfo::exists(logFilePath()))
        return true;
    log(QStringLiteral("⚠️ No log file found."));
    return false;
}

bool SprucerLogger::exportTo(const QString &destinationPath, QString *failure)
{
    flush();
    QFile source(logFilePath());
    // QFile::copy never replaces an existing destination, which is what an export must do.
    if (source.copy(destinationPath)) {
        log(QStringLiteral("✅ Logs exported to: ") + destinationPath);
        return true;
    }
    const QString reason = QFileInfo::exists(destinationPath)
                               ? QStringLiteral("A file named \"%1\" already exists.")
                                     .arg(QFileInfo(destinationPath).fileName())
                               : source.errorString();
    log(QStringLiteral("❌ Failed to export logs: ") + reason);
    if (failure)
        *failure = reason;
    return false;
}
