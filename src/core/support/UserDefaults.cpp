// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UserDefaults.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSettings>

#include <memory>

namespace UserDefaults {

namespace {

struct Store
{
    QMutex mutex;
    std::unique_ptr<QSettings> settings;
    QString overridePath;

    QSettings &open()
    {
        if (!settings) {
            settings = overridePath.isEmpty()
                           ? std::make_unique<QSettings>(
                                 QSettings::NativeFormat, QSettings::UserScope,
                                 QStringLiteral("Velmora"), QStringLiteral("Sprucer"))
                           : std::make_unique<QSettings>(overridePath, QSettings::IniFormat);
        }
        return *settings;
    }
};

Store &store()
{
    static Store instance;
    return instance;
}

} // namespace

QVariant value(const QString &key)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    // Another process (the headless agent beside the window) may have written since.
    settings.sync();
    return settings.value(key);
}

bool contains(const QString &key)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    settings.sync();
    return settings.contains(key);
}

void setValue(const QString &key, const QVariant &value)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    settings.setValue(key, value);
    settings.sync();
}

void remove(const QString &key)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    QSettings &settings = s.open();
    settings.remove(key);
    settings.sync();
}

void useFile(const QString &path)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    if (s.settings)
        s.settings->sync();
    s.settings.reset();
    s.overridePath = path;
}

} // namespace UserDefaults
