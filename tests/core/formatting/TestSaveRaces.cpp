// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/CopyJournal.h"
#include "core/formatting/SprucerFactory.h"
#include "core/markups/MarkupIndex.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "support/CoreFixture.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// When, relative to the fix of the first save, the user saves again.
enum class Moment
{
    beforeTool,
    duringTool,
    afterTool,
    afterCheck,
    afterPublish,
};

// How the user's editor saves: into the file, or by renaming a new file over it.
enum class Writer
{
    inPlace,
    renamedOver,
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void save(const QString &path, const QByteArray &content, Writer writer)
{
    const QString target = writer == Writer::inPlace ? path : path + u'~';
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        qFatal("cannot save %s", qPrintable(target));
    file.close();
    if (writer == Writer::renamedOver && ::rename(qPrintable(target), qPrintable(path)) != 0)
        qFatal("cannot rename over %s", qPrintable(path));
}

qint64 fixesCounted(CodeFixStatistics &statistics)
{
    QCoreApplication::processEvents();
    qint64 total = 0;
    for (const DailyFix &fix : statistics.dailyFixes())
        total += fix.count;
    return total;
}

} // namespace

Q_DECLARE_METATYPE(Moment)
Q_DECLARE_METATYPE(Writer)

// A user who saves again while the first save is being formatted, at every moment of that fix
// and with both ways editors save: the newer save is never overwritten, and is formatted in
// its turn. The stand-in formatter upper-cases the file, rewriting it as clang-format does.
class TestSaveRaces : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void aSaveMadeMeanwhileIsNeverLost_data()
    {
        QTest::addColumn<Moment>("moment");
        QTest::addColumn<Writer>("writer");
        const QList<std::pair<const char *, Moment>> moments = {
            {"before the tool", Moment::beforeTool},
            {"during the tool", Moment::duringTool},
            {"after the tool", Moment::afterTool},
            {"after the check", Moment::afterCheck},
            {"after the publish", Moment::afterPublish}};
        for (const auto &[name, moment] : moments) {
            QTest::addRow("%s, in place", name) << moment << Writer::inPlace;
            QTest::addRow("%s, renamed over", name) << moment << Writer::renamedOver;
        }
    }

    void aSaveMadeMeanwhileIsNeverLost()
    {
        QFETCH(Moment, moment);
        QFETCH(Writer, writer);
        // The tool's copy on another file system, as in the runtime folder: the result must
        // still take the file's place in one step, or a save made meanwhile is lost.
        const QTemporaryDir memory(u"/dev/shm/sprucer-test-XXXXXX"_s), disk;
        const QString copies = (memory.isValid() ? memory : disk).path();
        CopyJournal journal(copies + u"/journals"_s, copies + u"/copies"_s);
        CoreFixture fixture(5s);
        const QString project =
            fixture.makeProject(u"app"_s, {{u"notes.cpp"_s, u"// TODO: a\n"_s}});
        const QString file = project + u"/Main.cpp"_s;
        const QString gate = project + u"/../gate"_s, started = project + u"/../started"_s;
        const QString tools = project + u"/../tools"_s;
        StandInTool::write(
            tools, u"clang-format"_s,
            u"if [ -e '%1' ]; then touch '%2'; while [ -e '%1' ]; do sleep 0.01; "
            "done; fi\n"
            "tr a-z A-Z < \"$file\" > \"$file.new\" && mv \"$file.new\" \"$file\""_s.arg(gate,
                                                                                         started));

        const std::map<Moment, FixStage> stages = {{Moment::beforeTool, FixStage::copied},
                                                   {Moment::afterTool, FixStage::toolFinished},
                                                   {Moment::afterCheck, FixStage::checked}};
        std::atomic_bool savedAgain = false;
        fixture.useFixers([&](const CodeWatcherModel &watcher) {
            ToolFixer::Environment environment;
            environment.resolver = ToolResolver({tools}, false);
            environment.coordinator = &fixture.core().fileCoordinator();
            environment.journal = &journal;
            environment.probe = [&](FixStage stage) {
                const auto wanted = stages.find(moment);
                if (wanted != stages.end() && wanted->second == stage &&
                    !savedAgain.exchange(true)) {
                    save(file, "int second;\n", writer);
                }
            };
            return SprucerFactory(fixture.core().configurations(), environment).makeFixer(watcher);
        });

        const CodeWatcherModel watcher =
            fixture.makeWatcher(project, SupportedFileExtension::cpp, true);
        MonitorRegistry &registry = fixture.registry();
        QVERIFY(registry.addWatcher(watcher));
        QTRY_COMPARE(fixture.core().markups().of(watcher.id).size(), 1); // the tree is watched
        if (moment == Moment::duringTool)
            QVERIFY(QFile(gate).open(QIODevice::WriteOnly));

        save(file, "int first;\n", writer);
        if (moment == Moment::duringTool) {
            QTRY_VERIFY(QFile::exists(started));
            save(file, "int second;\n", writer);
            QVERIFY(QFile::remove(gate));
        } else if (moment == Moment::afterPublish) {
            QTRY_COMPARE(contentOf(file), "INT FIRST;\n");
            save(file, "int second;\n", writer); // well inside the 5 s echo window
        }

        QTRY_COMPARE_WITH_TIMEOUT(contentOf(file), "INT SECOND;\n", 10000);
        // A run that lost to a newer save counts neither as a fix nor as a processed file.
        const int runsThatCount = moment == Moment::afterPublish ? 2 : 1;
        QTRY_COMPARE(fixesCounted(fixture.core().statistics()), runsThatCount);
        QTRY_COMPARE(fixture.core().counters().countFor(watcher.id), runsThatCount);
        QCOMPARE(QDir(project).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{u"Main.cpp"_s, u"notes.cpp"_s}));
        if (moment != Moment::afterPublish) {
            QVERIFY(
                LogFile::messages().contains(u"Not replaced, saved again meanwhile: "_s + file));
        }
    }
};

SPRUCER_TEST_MAIN(TestSaveRaces)
#include "TestSaveRaces.moc"
