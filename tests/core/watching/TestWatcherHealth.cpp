// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/watching/WatcherHealth.h"
#include "support/CoreFixture.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using State = WatcherStatus::State;

namespace {

// The formatters of this test: clang-format is installed, ktlint is not until a test puts it
// there; a configuration is refused when it says "Broken".
struct Tools
{
    QTemporaryDir directory;

    Tools() { StandInTool::write(directory.path(), u"clang-format"_s, QString()); }

    WatcherHealth::Options options() const
    {
        WatcherHealth::Options options;
        options.resolver = ToolResolver({directory.path()}, false);
        options.judge = [](SupportedFileExtension, const QString &text) {
            ConfigurationCheckResult result;
            result.toolName = u"clang-format"_s;
            if (text.contains(u"Broken"_s)) {
                result.state = ConfigurationCheckResult::State::refused;
                result.message = u"Line 1: unknown key 'Broken'\nmore"_s;
            }
            return result;
        };
        return options;
    }
};

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

} // namespace

class TestWatcherHealth : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // Each watcher says why it does not format, the tray is warned only of watchers meant to
    // run, each new problem is told once, and a pause is no problem.
    void eachWatcherSaysWhyItDoesNotFormat()
    {
        Tools tools;
        CoreFixture fixture;
        fixture.useHealth(tools.options());
        MonitorRegistry &registry = fixture.registry();
        WatcherHealth &health = fixture.core().health();
        QSignalSpy appeared(&health, &WatcherHealth::problemAppeared);
        using Kind = SupportedFileExtension;
        const CodeWatcherModel good =
            fixture.makeWatcher(fixture.makeProject(u"good"_s), Kind::cpp, true);
        const CodeWatcherModel refused = fixture.makeWatcher(fixture.makeProject(u"refused"_s),
                                                             Kind::cpp, true, u"Broken: yes\n"_s);
        const CodeWatcherModel kotlin =
            fixture.makeWatcher(fixture.makeProject(u"kotlin"_s), Kind::kotlin, true);
        const CodeWatcherModel off = fixture.makeWatcher(fixture.makeProject(u"off"_s), Kind::cpp,
                                                         false, u"Broken: too\n"_s);
        const CodeWatcherModel gone =
            fixture.makeWatcher(fixture.makeProject(u"gone"_s), Kind::cpp, true);
        for (const CodeWatcherModel &watcher : {good, refused, kotlin, off, gone})
            QVERIFY(registry.addWatcher(watcher));
        QVERIFY(QDir(fixture.makeProject(u"gone"_s)).removeRecursively());

        QTRY_COMPARE(health.status(refused.id).state, State::configurationRefused);
        QCOMPARE(health.status(refused.id).detail,
                 u"clang-format says: Line 1: unknown key 'Broken'"_s);
        QCOMPARE(health.status(kotlin.id).state, State::toolMissing);
        QCOMPARE(health.status(kotlin.id).detail, u"ktlint is not installed."_s);
        QCOMPARE(health.status(off.id).state, State::switchedOff); // refused, but not in use
        QVERIFY(!health.status(off.id).needsAttention);
        QTRY_COMPARE(health.status(gone.id).state, State::folderMissing);
        const WatcherStatus running = health.status(good.id);
        QCOMPARE(running.state, State::running);
        QCOMPARE(running.description(), u"Running: every file saved in its folder is formatted."_s);
        QVERIFY(health.needsAttention());
        QTRY_COMPARE(appeared.size(), 3);
        QStringList told;
        for (const QList<QVariant> &each : appeared)
            told << each.at(0).toString() + u": "_s + each.at(1).value<WatcherStatus>().shortText();
        told.sort();
        QCOMPARE(told, (QStringList{u"gone: Folder missing"_s, u"kotlin: Tool missing"_s,
                                    u"refused: Configuration refused"_s}));
        QVERIFY(LogFile::messages().contains(
            u"⚠️ Watcher \"refused\": Configuration refused: clang-format says: Line 1: "
            "unknown key 'Broken'"_s));

        // Paused, nothing is expected to run: the tray has nothing to warn of.
        QSignalSpy attention(&health, &WatcherHealth::attentionChanged);
        registry.setGlobalActivation(false);
        QTRY_COMPARE(health.status(refused.id).state, State::paused);
        QCOMPARE(health.status(gone.id).state, State::folderMissing);
        QVERIFY(!health.needsAttention());
        registry.setGlobalActivation(true);
        QTRY_COMPARE(health.status(refused.id).state, State::configurationRefused);
        QCOMPARE(attention.size(), 2);
        QCOMPARE(appeared.size(), 3); // met before: not told again

        // A folder that comes back is watched again; a tool installed meanwhile is found, and
        // the configuration checked with it, when the user looks again (nothing polls).
        fixture.makeProject(u"gone"_s);
        StandInTool::write(tools.directory.path(), u"ktlint"_s, QString());
        health.refresh();
        QTRY_COMPARE(health.status(kotlin.id).state, State::running);
        QTRY_COMPARE(health.status(gone.id).state, State::running);
        QVERIFY(health.needsAttention()); // the refused one still
    }

    // A failed save shows until a save of the watcher succeeds; a "Run Fixers" ends with its
    // summary in the row and in the log, and its failures show as the last run's.
    void aFailureShowsUntilTheNextGoodFixAndARunEndsWithItsSummary()
    {
        Tools tools;
        CoreFixture fixture(1ms); // the stand-in writes nothing: no echo to keep out
        fixture.useHealth(tools.options());
        const QString project = fixture.makeProject(u"app"_s, {{u"old.cpp"_s, u"int x;\n"_s}});
        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        WatcherHealth &health = fixture.core().health();
        QVERIFY(registry.addWatcher(watcher));
        QSignalSpy appeared(&health, &WatcherHealth::problemAppeared);
        QSignalSpy released(&fixture.core().pipeline(), &FixPipeline::processedFilesReleased);
        QTRY_VERIFY(fixture.fixerFor(watcher.id));
        const auto fixer = fixture.fixerFor(watcher.id);

        // The tool's words name the file by its whole path; the row, by its name.
        fixer->setOutcome(FixResult::Outcome::failed,
                          u"clang-format: "_s + project + u"/a.cpp:1:1: boom"_s);
        QVERIFY(writeFile(project + u"/a.cpp"_s, "int a;\n"));
        QTRY_COMPARE(health.status(watcher.id).state, State::lastRunFailed);
        QCOMPARE(health.status(watcher.id).detail, u"clang-format: a.cpp:1:1: boom"_s);
        QCOMPARE(appeared.size(), 1);
        fixer->setOutcome(FixResult::Outcome::unchanged);
        QVERIFY(writeFile(project + u"/b.cpp"_s, "int b;\n"));
        QTRY_COMPARE(health.status(watcher.id).state, State::running);
        QVERIFY(LogFile::messages().contains(u"✅ Watcher \"app\" is running again"_s));

        fixer->setOutcome(FixResult::Outcome::changed);
        QSignalSpy finished(&fixture.core().pipeline(), &FixPipeline::runFinished);
        QVERIFY(registry.runFixers(watcher.id));
        QVERIFY(finished.wait());
        QTRY_VERIFY(health.status(watcher.id).lastRun);
        const WatcherStatus afterRun = health.status(watcher.id);
        const RunSummary summary = finished.first().at(1).value<RunSummary>();
        QCOMPARE(afterRun.lastRun, summary);
        QCOMPARE(summary.checked, 3);
        QVERIFY(summary.changed >= 1 && summary.failed == 0);
        QCOMPARE(afterRun.state, State::running);
        QVERIFY(afterRun.description().endsWith(u" Last run: "_s + summary.text() + u'.'));
        QVERIFY(LogFile::messages().contains(u"Run Fixers on \"app\": "_s + summary.text()));

        // Once the run's files are out of the echo check (two saves, one run), run again.
        QTRY_COMPARE(released.size(), 3);
        fixer->setOutcome(FixResult::Outcome::failed, u"clang-format: boom"_s);
        finished.clear();
        QVERIFY(registry.runFixers(watcher.id));
        QVERIFY(finished.wait());
        QTRY_COMPARE(health.status(watcher.id).state, State::lastRunFailed);
        QVERIFY(health.status(watcher.id).detail.contains(u" files failed; the first, "_s));
        QVERIFY(health.status(watcher.id).detail.endsWith(u".cpp: clang-format: boom"_s));
        QCOMPARE(appeared.size(), 1); // the same problem as before
    }
};

SPRUCER_TEST_MAIN(TestWatcherHealth)
#include "TestWatcherHealth.moc"
