// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/TelemetryManagerConfiguration.h"
#include "support/SeededHome.h"
#include "support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

// Runs the real desktop program (offscreen) in a home of its own, as a user lives with it.
class TestDesktopApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Started from the launcher it registers its login item and formats a save; a second start
    // hands over to it, an agent beside it is refused by name, and the session's end leaves
    // every fix stored.
    void oneInstanceFormatsHandsOverAndQuitsWithEverythingStored()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        SeededHome home;
        QProcess sprucer;
        home.start(sprucer, {});
        QTRY_VERIFY_WITH_TIMEOUT(sprucer.canReadLine(), 10000);
        QCOMPARE(sprucer.readLine(), "App registered as login item.\n");
        QVERIFY(SeededHome::readAll(home.path(u"config/autostart/com.velmora.Sprucer.desktop"_s))
                    .contains(QFile::encodeName(QStringLiteral(SPRUCER_EXECUTABLE))));

        const QString saved = home.project() + u"/src/main.cpp"_s;
        QVERIFY(SeededHome::writeFile(saved, SeededHome::unformatted));
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(saved), SeededHome::formatted, 15000);

        QProcess second;
        home.start(second, {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(sprucer.state(), QProcess::Running);

        QProcess agent;
        home.start(agent, {u"--headless"_s});
        QVERIFY(agent.waitForFinished(10000));
        QCOMPARE(agent.exitCode(), 1);
        QCOMPARE(agent.readAllStandardError(),
                 u"Sprucer is already running (process %1, with a window). Use that window, or "
                 u"quit Sprucer there first.\n"_s.arg(sprucer.processId())
                     .toUtf8());

        QVERIFY(SeededHome::terminate(sprucer) >= 0);
        QCOMPARE(home.storedCounts(),
                 (QList<CodeCounterModel>{{QUuid::fromString(SeededHome::watcherId), 1}}));
        // A build without an analytics service of its own keeps nothing for one.
        if (!TelemetryManagerConfiguration::thisBuildHasService()) {
            QVERIFY(!QFile::exists(home.path(u"cache/Sprucer/telemetrysignalcache"_s)));
            QVERIFY(SeededHome::readAll(home.path(u"cache/Sprucer/sprucer.log"_s))
                        .contains("Analytics are off"));
        }
    }
};

SPRUCER_TEST_MAIN(TestDesktopApp)
#include "TestDesktopApp.moc"
