// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SeededHome.h"

#include "core/stats/CounterStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>
#include <QUuid>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kConfigurationId = u"9B2D1C6E-7A41-4E0B-8F3A-2C5D6E7F8A9B"_s;

// As the earlier release's encoder wrote a file URL: slashes escaped.
QString storedUrl(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).replace(u'/', u"\\/"_s);
}

QString settingsFile(const SeededHome &home)
{
    return home.path(u"config/Velmora/Sprucer.conf"_s);
}

} // namespace

SeededHome::SeededHome()
{
    const QString style = configurationFile();
    QDir().mkpath(project() + u"/src"_s);
    QDir().mkpath(QFileInfo(style).path());
    QDir().mkpath(path(u"runtime"_s));
    QFile::setPermissions(path(u"runtime"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(style, "BasedOnStyle: LLVM\nIndentWidth: 4\n");
    QSettings settings(settingsFile(*this), QSettings::IniFormat);
    settings.setValue(u"Configs"_s, uR"([{"id":"%1","name":"LLVM 4","path":"%2",)"
                                    R"("language":"cpp","createdAt":786297600.25}])"_s.arg(
                                        kConfigurationId, storedUrl(style)));
    settings.setValue(u"monitoredPaths"_s,
                      uR"(["%1",{"name":"Project","url":"%2","isActivated":true,)"
                      R"("codeKind":"cpp","id":"%1","configurationId":"%3"}])"_s
                          .arg(watcherId, storedUrl(project() + u'/'), kConfigurationId)
                          .toUtf8());
}

QString SeededHome::configurationFile() const
{
    return path(u"Application Support/Sprucer/"_s + kConfigurationId + u".yml"_s);
}

QString SeededHome::addConfiguration(const QString &codeKind, const QString &name,
                                     const QString &configurationFile) const
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QSettings settings(settingsFile(*this), QSettings::IniFormat);
    QString configurations = settings.value(u"Configs"_s).toString();
    configurations.chop(1); // the list's "]"
    configurations += uR"(,{"id":"%1","name":"%2","path":"%3",)"
                      R"("language":"%4","createdAt":786297600.25}])"_s.arg(
                          id, name, storedUrl(configurationFile), codeKind);
    settings.setValue(u"Configs"_s, configurations);
    return id;
}

void SeededHome::addWatcher(const QString &codeKind, const QString &folder,
                            const QString &configurationFile) const
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString configurationId = addConfiguration(codeKind, codeKind, configurationFile);
    QSettings settings(settingsFile(*this), QSettings::IniFormat);
    QByteArray watchers = settings.value(u"monitoredPaths"_s).toByteArray();
    watchers.chop(1);
    watchers += uR"(,"%1",{"name":"%2","url":"%3","isActivated":true,)"
                R"("codeKind":"%2","id":"%1","configurationId":"%4"}])"_s
                    .arg(id, codeKind, storedUrl(folder + u'/'), configurationId)
                    .toUtf8();
    settings.setValue(u"monitoredPaths"_s, watchers);
}

void SeededHome::setStoredValue(const QString &key, const QVariant &value) const
{
    QSettings(settingsFile(*this), QSettings::IniFormat).setValue(key, value);
}

QProcessEnvironment SeededHome::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, m_home);
    environment.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
    environment.insert(u"XDG_CACHE_HOME"_s, path(u"cache"_s));
    environment.insert(u"XDG_DATA_HOME"_s, path(u"Application Support"_s));
    environment.insert(u"XDG_RUNTIME_DIR"_s, path(u"runtime"_s));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    return environment;
}

void SeededHome::start(QProcess &process, const QStringList &arguments,
                       const QString &toolsFirst) const
{
    QProcessEnvironment environment = this->environment();
    if (!toolsFirst.isEmpty())
        environment.insert(u"PATH"_s, toolsFirst + u':' + environment.value(u"PATH"_s));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SPRUCER_EXECUTABLE), arguments);
}

qint64 SeededHome::terminate(QProcess &process)
{
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(30000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? timer.elapsed()
                                                                                   : -1;
}

QList<CodeCounterModel> SeededHome::storedCounts() const
{
    const QSettings stored(settingsFile(*this), QSettings::IniFormat);
    const auto counts = CounterStore::decode(stored.value(CounterStore::counterKey).toByteArray());
    return counts.whole() ? counts.items : QList<CodeCounterModel>();
}

QByteArray SeededHome::readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SeededHome::writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}
