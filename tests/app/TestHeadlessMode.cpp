// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "support/TestMain.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

namespace {

const QString kWatcherId = QStringLiteral("3F2504E0-4F89-41D3-9A0C-0305E82C3301");
const QString kConfigurationId = QStringLiteral("9B2D1C6E-7A41-4E0B-8F3A-2C5D6E7F8A9B");
const QByteArray kUnformatted = "int   main( ){int x=1;return    x;}\n";
const QString kStyle = QStringLiteral("BasedOnStyle: LLVM\nIndentWidth: 4\n");

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

// What the real clang-format makes of a file with our style, run here alone.
QByteArray formattedBy(const QString &stylePath, const QByteArray &source, const QString &dir)
{
    const QString path = dir + QStringLiteral("/expected.cpp");
    writeFile(path, source);
    QProcess::execute(QStringLiteral("clang-format"),
                      {QStringLiteral("-i"), QStringLiteral("-style=file:") + stylePath, path});
    return readAll(path);
}

} // namespace

// Runs the real program headless in a home of its own, as a user would run it as a service.
class TestHeadlessMode : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QString m_project;
    QString m_stylePath;
    QProcess m_sprucer;

    QString configFile() const
    {
        return m_home.path() + QStringLiteral("/config/Velmora/Sprucer.conf");
    }

    // The stored state as an earlier release wrote it: one active C++ watcher.
    void writeStoredState()
    {
        const QString supportDir = m_home.path() + QStringLiteral("/Application Support/Sprucer");
        QDir().mkpath(supportDir);
        m_stylePath = supportDir + u'/' + kConfigurationId + QStringLiteral(".yml");
        writeFile(m_stylePath, kStyle.toUtf8());
        const QString configUrl = QUrl::fromLocalFile(m_stylePath)
                                      .toString(QUrl::FullyEncoded)
                                      .replace(u'/', QStringLiteral("\\/"));
        const QString projectUrl = QUrl::fromLocalFile(m_project + u'/')
                                       .toString(QUrl::FullyEncoded)
                                       .replace(u'/', QStringLiteral("\\/"));
        QSettings settings(configFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Configs"),
                          QStringLiteral(R"([{"id":"%1","name":"LLVM 4","path":"%2",)"
                                         R"("language":"cpp","createdAt":786297600.25}])")
                              .arg(kConfigurationId, configUrl));
        settings.setValue(QStringLiteral("monitoredPaths"),
                          QStringLiteral(R"(["%1",{"name":"Project","url":"%2","isActivated":true,)"
                                         R"("codeKind":"cpp","id":"%1","configurationId":"%3"}])")
                              .arg(kWatcherId, projectUrl, kConfigurationId)
                              .toUtf8());
    }

    QByteArray logText() const
    {
        return readAll(m_home.path() + QStringLiteral("/cache/Sprucer/sprucer.log"));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path() + QStringLiteral("/cache"));
        env.insert(QStringLiteral("XDG_DATA_HOME"),
                   m_home.path() + QStringLiteral("/Application Support"));
        return env;
    }

    bool waitForFile(const QString &path, const QByteArray &content, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (readAll(path) == content)
                return true;
            QTest::qWait(20);
        }
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("clang-format")).isEmpty())
            QSKIP("clang-format is not installed");
        m_project = m_home.path() + QStringLiteral("/My Project");
        QDir().mkpath(m_project + QStringLiteral("/src"));
        writeStoredState();
    }

    void savesAreFormattedOnceCountedAndStored()
    {
        m_sprucer.setProcessEnvironment(environment());
        m_sprucer.start(QStringLiteral(SPRUCER_EXECUTABLE), {QStringLiteral("--headless")});
        QVERIFY(m_sprucer.waitForStarted());
        QByteArray output;
        const auto readOutput = [&] {
            return output += m_sprucer.readAllStandardOutput();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            readOutput().contains("Sprucer is watching 1 of 1 folders"),
            QByteArray(output + m_sprucer.readAllStandardError() + logText()).constData(), 10000);

        QTemporaryDir scratch;
        const QByteArray expected = formattedBy(m_stylePath, kUnformatted, scratch.path());
        QVERIFY(expected != kUnformatted);
        const QString main = m_project + QStringLiteral("/src/main.cpp");
        writeFile(main, kUnformatted);
        QVERIFY2(waitForFile(main, expected, 15000), readAll(main).constData());

        // A second save elsewhere is the sentinel: once it is formatted, the first file's own
        // rewrite has long been reported and must have been ignored.
        const QString other = m_project + QStringLiteral("/src/other.h");
        writeFile(other, kUnformatted);
        QVERIFY(waitForFile(other, expected, 15000));

        ::kill(static_cast<pid_t>(m_sprucer.processId()), SIGTERM);
        QVERIFY(m_sprucer.waitForFinished(15000));
        QCOMPARE(m_sprucer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_sprucer.exitCode(), 0);
        QCOMPARE(readOutput().count("Run Fix "), 2);

        QSettings stored(configFile(), QSettings::IniFormat);
        const auto counts =
            CounterStore::decode(stored.value(CounterStore::counterKey).toByteArray());
        QVERIFY(counts);
        QCOMPARE(counts->size(), 1);
        QCOMPARE(counts->first().id, QUuid::fromString(kWatcherId));
        QCOMPARE(counts->first().fixedCount, 2);
        const auto daily =
            CodeFixStatistics::decode(stored.value(CodeFixStatistics::storageKey).toByteArray());
        QVERIFY(daily);
        QCOMPARE(daily->size(), 1);
        QCOMPARE(daily->first().language, QStringLiteral("C++"));
        QCOMPARE(daily->first().count, 2);
        QVERIFY(logText().contains("] Started monitoring: file:///"));
    }

    void cleanupTestCase()
    {
        if (m_sprucer.state() != QProcess::NotRunning) {
            m_sprucer.kill();
            m_sprucer.waitForFinished();
        }
    }
};

SPRUCER_TEST_MAIN(TestHeadlessMode)
#include "TestHeadlessMode.moc"
