// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredValueBackup.h"

#include "core/support/Log.h"
#include "core/support/Result.h"
#include "core/support/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSettings>

namespace StoredValueBackup {

namespace {

const QString kSuffix = QStringLiteral(".backup");
constexpr int kMaxPerSecond = 100;

struct Backup
{
    QVariant raw;
    QString path;
};

// The value last backed up under each key, so rereading it (the configurations are decoded on
// every read) neither writes nor logs again.
struct Memory
{
    QMutex mutex;
    QHash<QString, Backup> byKey;
};

Memory &memory()
{
    static Memory instance;
    return instance;
}

Error backupError(const QString &description)
{
    return Error{QStringLiteral("StoredValueBackup"), 1, description};
}

QString identicalBackup(const QDir &folder, const QString &key, const QVariant &raw)
{
    const QStringList names = folder.entryList({key + u"-*" + kSuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QString path = folder.filePath(name);
        if (QSettings(path, QSettings::IniFormat).value(key) == raw)
            return path;
    }
    return {};
}

// Creating the file claims its name, also against another process backing up at once.
Result<QString> claimName(const QDir &folder, const QString &key)
{
    const QString stem =
        folder.filePath(key + u'-' + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"));
    for (int n = 1; n <= kMaxPerSecond; ++n) {
        const QString path = stem + (n == 1 ? QString() : u'-' + QString::number(n)) + kSuffix;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!file.exists())
            return backupError(file.errorString());
    }
    return backupError(QStringLiteral("no free name for \"%1\"").arg(stem));
}

Result<QString> writeBackup(const QDir &folder, const QString &key, const QVariant &raw)
{
    if (!folder.mkpath(QStringLiteral(".")))
        return backupError(QStringLiteral("cannot create \"%1\"").arg(folder.path()));
    Result<QString> path = claimName(folder, key);
    if (!path)
        return path;
    QSettings backup(path.value(), QSettings::IniFormat);
    backup.setValue(key, raw);
    backup.sync();
    if (backup.status() == QSettings::NoError)
        return path;
    QFile::remove(path.value()); // an empty backup would only mislead
    return backupError(QStringLiteral("cannot write \"%1\"").arg(path.value()));
}

void logKept(const QString &key, const QString &path)
{
    Log::line(
        QStringLiteral("⚠️ The stored \"%1\" could not be read whole: what could be read is "
                       "kept, and the stored value is backed up in %2")
            .arg(key, path));
}

void logNotKept(const QString &key, const Error &error)
{
    Log::line(QStringLiteral("❌ The stored \"%1\" could not be read whole, nor backed up: %2")
                  .arg(key, error.description));
}

} // namespace

QString keep(const UserDefaults &settings, const QString &key, const QVariant &raw)
{
    Memory &m = memory();
    QMutexLocker lock(&m.mutex);
    const auto known = m.byKey.constFind(key);
    if (known != m.byKey.cend() && known->raw == raw && QFileInfo::exists(known->path))
        return known->path;

    const QDir folder = QFileInfo(settings.fileName()).absoluteDir();
    QString path = identicalBackup(folder, key, raw);
    if (path.isEmpty()) {
        const Result<QString> written = writeBackup(folder, key, raw);
        if (!written) {
            logNotKept(key, written.error());
            return {};
        }
        path = written.value();
    }
    m.byKey.insert(key, Backup{raw, path});
    logKept(key, path);
    return path;
}

} // namespace StoredValueBackup
