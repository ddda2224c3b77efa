// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kWatcherId = u"3F2504E0-4F89-41D3-9A0C-0305E82C3301"_s;
const QString kConfigurationId = u"9B2D1C6E-7A41-4E0B-8F3A-2C5D6E7F8A9B"_s;
const QByteArray kUnformatted = "int   main( ){int x=1;return    x;}\n";
// The real clang-format's output under the stored style (LLVM, indented by 4).
const QByteArray kFormatted = "int main() {\n    int x = 1;\n    return x;\n}\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// As the earlier release's encoder wrote a file URL: slashes escaped.
QString storedUrl(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).replace(u'/', u"\\/"_s);
}

} // namespace

// Runs the real program headless in a home of its own, as a user would run it as a service.
class TestHeadlessMode : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

private Q_SLOTS:
    void savesAreFormattedOnceCountedAndStored()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        const QString home = m_home.path(), project = home + u"/My Project"_s;
        const QString support = home + u"/Application Support/Sprucer/"_s;
        const QString style = support + kConfigurationId + u".yml"_s;
        const QString settingsFile = home + u"/config/Velmora/Sprucer.conf"_s;
        QVERIFY(QDir().mkpath(project + u"/src"_s) && QDir().mkpath(support));
        writeFile(style, "BasedOnStyle: LLVM\nIndentWidth: 4\n");
        // The stored state as an earlier release wrote it: one active C++ watcher.
        {
            QSettings settings(settingsFile, QSettings::IniFormat);
            settings.setValue(u"Configs"_s, uR"([{"id":"%1","name":"LLVM 4","path":"%2",)"
                                            R"("language":"cpp","createdAt":786297600.25}])"_s.arg(
                                                kConfigurationId, storedUrl(style)));
            settings.setValue(u"monitoredPaths"_s,
                              uR"(["%1",{"name":"Project","url":"%2","isActivated":true,)"
                              R"("codeKind":"cpp","id":"%1","configurationId":"%3"}])"_s
                                  .arg(kWatcherId, storedUrl(project + u'/'), kConfigurationId)
                                  .toUtf8());
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home);
        environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/config"_s);
        environment.insert(u"XDG_CACHE_HOME"_s, home + u"/cache"_s);
        environment.insert(u"XDG_DATA_HOME"_s, home + u"/Application Support"_s);
        QProcess sprucer;
        sprucer.setProcessEnvironment(environment);
        sprucer.start(QStringLiteral(SPRUCER_EXECUTABLE), {u"--headless"_s});
        QTRY_VERIFY_WITH_TIMEOUT(sprucer.canReadLine(), 10000);
        QVERIFY(sprucer.readLine().startsWith("Sprucer is watching 1 of 1 folders"));

        const QString main = project + u"/src/main.cpp"_s, other = project + u"/src/other.h"_s;
        writeFile(main, kUnformatted);
        QTRY_COMPARE_WITH_TIMEOUT(readAll(main), kFormatted, 15000);
        // A second save is the sentinel: once it is formatted, the first file's own rewrite has
        // long been reported and must have been ignored.
        writeFile(other, kUnformatted);
        QTRY_COMPARE_WITH_TIMEOUT(readAll(other), kFormatted, 15000);

        ::kill(pid_t(sprucer.processId()), SIGTERM);
        QVERIFY(sprucer.waitForFinished(15000));
        QCOMPARE(sprucer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sprucer.exitCode(), 0);
        QCOMPARE(sprucer.readAllStandardOutput().count("Run Fix "), 2);
        const QSettings stored(settingsFile, QSettings::IniFormat);
        const auto counts =
            CounterStore::decode(stored.value(CounterStore::counterKey).toByteArray());
        QVERIFY(counts.whole());
        QCOMPARE(counts.items, (QList<CodeCounterModel>{{QUuid::fromString(kWatcherId), 2}}));
        const auto daily =
            CodeFixStatistics::decode(stored.value(CodeFixStatistics::storageKey).toByteArray());
        QVERIFY(daily.whole() && daily.items.size() == 1);
        QCOMPARE(daily.items.first().language, u"C++"_s);
        QCOMPARE(daily.items.first().count, 2);
    }
};

SPRUCER_TEST_MAIN(TestHeadlessMode)
#include "TestHeadlessMode.moc"
