// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestHome.h"

#include "core/support/SprucerLogger.h"
#include "core/support/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {
TestHome *s_current = nullptr;
}

TestHome &TestHome::current()
{
    Q_ASSERT(s_current);
    return *s_current;
}

UserDefaults &TestHome::settings()
{
    return *current().m_settings;
}

TestHome::TestHome()
{
    s_current = this;
    qputenv("HOME", path().toUtf8());
    qputenv("XDG_CONFIG_HOME", configDirectory().toUtf8());
    qputenv("XDG_CACHE_HOME", cacheDirectory().toUtf8());
    qputenv("XDG_DATA_HOME", dataDirectory().toUtf8());
    // The one-instance lock lives there: never the desktop session's, where Sprucer may run.
    const QString runtime = path() + u"/runtime"_s;
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    QDir().mkpath(configDirectory());
    QDir().mkpath(cacheDirectory());
    QDir().mkpath(dataDirectory());
    m_settings = std::make_unique<UserDefaults>(userDefaultsFile());
}

TestHome::~TestHome()
{
    s_current = nullptr;
}

QString TestHome::configDirectory() const
{
    return path() + u"/config"_s;
}

QString TestHome::cacheDirectory() const
{
    return path() + u"/cache"_s;
}

QString TestHome::dataDirectory() const
{
    return path() + u"/data"_s;
}

QString TestHome::userDefaultsFile() const
{
    return configDirectory() + u"/Velmora/Sprucer.conf"_s;
}

void TestHome::reset()
{
    SprucerLogger::shared().flush();         // no line of the last test lands in the next one's log
    m_settings->useFile(userDefaultsFile()); // writes what is pending, and closes the file
    QDir(QFileInfo(userDefaultsFile()).path()).removeRecursively(); // backups beside it too
    QDir(cacheDirectory() + u"/Sprucer"_s).removeRecursively();
    QDir(dataDirectory() + u"/Sprucer"_s).removeRecursively();
}
