// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/CopyJournal.h"
#include "core/formatting/DependencyChecker.h"
#include "core/formatting/DependencyStatusViewModel.h"
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/FormattedFileCache.h"
#include "core/formatting/PrivateCopy.h"
#include "core/formatting/SavedFile.h"
#include "core/formatting/SprucerFactory.h"
#include "core/formatting/ToolLimits.h"
#include "core/model/CodeWatcherModel.h"
#include "core/support/Console.h"
#include "core/support/UserDefaults.h"
#include "core/watching/RunSummary.h"
#include "support/LogFile.h"
#include "support/PrivateCopyFolders.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Kind = SupportedFileExtension;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) < 0)
        qFatal("cannot write %s", qPrintable(path));
}

struct stat statOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        qFatal("cannot stat %s", qPrintable(path));
    return info;
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Each tool's command line as the tool documents it.
QStringList arguments(Kind kind, const QString &config, const QString &file)
{
    if (kind == Kind::kotlin)
        return {u"--format"_s, u"--editorconfig="_s + config, file};
    if (kind == Kind::swift)
        return {u"--config"_s, config, u"--fix"_s, u"--format"_s, file};
    return {u"-i"_s, u"-style=file:"_s + config, file};
}

// Language sections of a configuration: the file's name, and for ".h" its content, decide.
const QString kLanguageSections = u"---\nLanguage: Cpp\nIndentWidth: 2\nColumnLimit: 20\n---\n"
                                  u"Language: ObjC\nIndentWidth: 8\nColumnLimit: 20\n...\n"_s;
const QByteArray kObjectiveC = "@interface A : NSObject\n- (void)f;\n@end\n"
                               "void g(){int x=1;return x;}\n";

} // namespace

// The configuration store, the fixers as the factory makes them (on stand-ins that act as each
// tool does at its interface, and on the real clang-format), and the tool lookup they share.
class TestFixers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_tools = m_root.filePath(u"tools"_s);
    QString m_source = m_root.filePath(u"my sources/Main file.src"_s);
    // Copies outside the trees go to a file system of their own, as in the runtime folder.
    QTemporaryDir m_memory{u"/dev/shm/sprucer-test-XXXXXX"_s};
    QString m_copies = (m_memory.isValid() ? m_memory.path() : m_root.path()) + u"/copies"_s;
    CopyJournal m_journal{m_root.filePath(u"journals"_s), m_copies, 0ms};
    QStringList m_console;
    FileCoordinator m_coordinator;
    ConfigManagerFactory m_configurations{TestHome::settings()};
    std::function<void(FixStage)> m_probe;
    std::optional<ToolLimits> m_limits; // the environment's own when absent
    bool m_checkOnly = false;
    FormattedFileCache *m_formatted = nullptr;

    ToolFixer::Environment environment(const ToolResolver &resolver,
                                       std::chrono::milliseconds timeout = 30s)
    {
        ToolFixer::Environment made;
        made.resolver = resolver;
        made.coordinator = &m_coordinator;
        made.journal = &m_journal;
        made.timeout = timeout;
        made.probe = m_probe;
        made.checkOnly = m_checkOnly;
        made.formatted = m_formatted;
        if (m_limits)
            made.limits = *m_limits;
        return made;
    }

    std::shared_ptr<IFixer> fixer(Kind kind, const ToolResolver &resolver,
                                  const QString &configText = QString(),
                                  std::chrono::milliseconds timeout = 30s)
    {
        const QUuid id = QUuid::createUuid();
        m_configurations.createConfig(id, configText, kind, u"mine"_s);
        const SprucerFactory factory(m_configurations, environment(resolver, timeout));
        auto made = factory.makeFixer(CodeWatcherModel::make(u"w"_s, {}, kind, id));
        LogFile::clear(); // of the store's own lines
        return made.value();
    }

    std::shared_ptr<IFixer> standIn(Kind kind, const QString &body,
                                    std::chrono::milliseconds timeout = 30s)
    {
        StandInTool::write(m_tools, ToolProfile::of(kind).executable, body);
        return fixer(kind, ToolResolver({m_tools}, false), QString(), timeout);
    }

    // Only a file the tool changed is a fix; whoever handed it in counts it.
    static qsizetype fixCount(const QList<FixResult> &results)
    {
        return std::count_if(results.cbegin(), results.cend(),
                             [](const FixResult &result) { return result.changed(); });
    }

    static QString shown(bool value) { return value ? u"true"_s : u"false"_s; }
    static QString shown(const std::optional<QString> &value) { return value.value_or(u"-"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        // A literal "%41" in a folder name must reach the tool as it is on disk, not decoded a
        // second time; the space, as in "Application Support", must not split the argument.
        qputenv("XDG_DATA_HOME", m_root.filePath(u"App Support/50%41"_s).toUtf8());
        QVERIFY(QDir().mkpath(m_root.filePath(u"my sources"_s)) &&
                QFile(m_source).open(QIODevice::WriteOnly));
    }

    void cleanupTestCase() { Console::setSink({}); }

    void init()
    {
        TestHome::current().reset();
        m_console.clear();
        Console::setSink([this](const QString &line) { m_console.append(line); });
        QDir(m_tools).removeRecursively();
        m_probe = nullptr;
        m_limits.reset();
        m_checkOnly = false;
    }

    // The store tells of each write, which a later reader of the defaults sees in order; the
    // file is written first.
    void theStoreKeepsTheListInStepWithTheFiles()
    {
        ConfigManagerFactory store{TestHome::settings()}, other{TestHome::settings()};
        TestHome::settings().setValue(ConfigManagerFactory::storageKey, u"[{\"id\":1}]"_s);
        QVERIFY(other.configs().isEmpty());
        QVERIFY(LogFile::messages().last().startsWith(u"Error: "_s));
        QSignalSpy changed(&store, &ConfigManagerFactory::configsChanged);
        const QUuid first = QUuid::createUuid(), second = QUuid::createUuid();
        QCOMPARE(store.updateConfig(first, {}, {}).error(), ConfigManagerFactory::notFoundError());
        QVERIFY(store.createConfig(first, u"a"_s, Kind::kotlin, u"First"_s));
        QVERIFY(store.createConfig(second, u"b"_s, Kind::cpp, u"Second"_s));
        const QString list =
            TestHome::settings().value(ConfigManagerFactory::storageKey).toString();
        QVERIFY(LogFile::messages().contains(u"Returning "_s + list));
        const QList<ConfigurationItem> created = other.configs();
        QVERIFY(qAbs(created.value(0).createdAt.secsTo(QDateTime::currentDateTime())) < 60);
        QVERIFY(store.updateConfig(first, u"naïve ✓"_s, u"Renamed"_s));
        QCOMPARE(fileText(created[0].path.toLocalFile()), u"naïve ✓"_s);

        // A directory where the file must go makes the write fail, even for root.
        const QString blocked = created[1].path.toLocalFile();
        QVERIFY(QFile::remove(blocked) && QDir().mkpath(blocked));
        QVERIFY(!store.updateConfig(second, u"lost"_s, u"Lost"_s));
        QVERIFY(!store.createConfig(second, u"lost"_s, Kind::cpp, u"Lost"_s));
        QVERIFY(LogFile::messages().last().startsWith(u"Error creating file: "_s));
        ConfigurationItem renamed = created[0];
        renamed.name = u"Renamed"_s;
        QCOMPARE(other.configs(), (QList<ConfigurationItem>{renamed, created[1]}));
        QTRY_COMPARE(changed.size(), 3);
    }

    void eachToolIsRunAndJudged_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("failure"); // the reason the result gives; none: a success
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("console"); // after "Run Fix"
        const auto row = [](const char *name, Kind kind, const char *script, const QString &failure,
                            const QStringList &logged = {}, const QStringList &console = {}) {
            QTest::newRow(name) << kind << QString::fromUtf8(script) << failure << logged
                                << console;
        };
        // Any standard error fails clang-format's run, even bytes that are not UTF-8.
        row("Objective-C complaint", Kind::objectivec, R"(printf '\377 bad\n' >&2; exit 0)",
            u"clang-format: \uFFFD bad"_s, {u"clang-format error: \uFFFD bad"_s});
        row("Kotlin complaint", Kind::kotlin,
            "echo 'Main.kt:1:1: Blank line' >&2; echo 'Summary: 1'",
            u"ktlint: Main.kt:1:1: Blank line"_s, {},
            {u"ktlint error: Main.kt:1:1: Blank line\n"_s, u"Summary: 1\n"_s});
        row("Swift lower case", Kind::swift, "echo correcting >&2", u"SwiftLint: correcting"_s,
            {u"SwiftLint error: correcting"_s});
        // Far more than a pipe holds, on both channels: the tool must not block.
        row("Swift floods", Kind::swift,
            "head -c 4000000 /dev/zero | tr '\\0' o\necho Correcting >&2\n"
            "head -c 4000000 /dev/zero >&2",
            QString());
    }

    void eachToolIsRunAndJudged()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, script);
        QFETCH(QString, failure);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, console);
        const QString record = m_root.filePath(u"arguments"_s);
        const auto fixer = standIn(kind, StandInTool::recordArguments(record) + script);
        const FixResult result = fixer->fix(m_source);

        const QString config = m_configurations.configs().constLast().path.toLocalFile();
        QVERIFY(config.contains(u"/App Support/50%41/Sprucer/"));
        // The tool is given a copy of the file, under its name, in a folder of its own, gone
        // now: beside the file for the tools that look for settings there, else out of the tree.
        const QStringList given = StandInTool::readLines(record);
        const QFileInfo copy(given.value(given.size() - 1));
        QCOMPARE(copy.fileName(), QFileInfo(m_source).fileName());
        const bool besideFile = kind == Kind::kotlin || kind == Kind::swift;
        QCOMPARE(QFileInfo(copy.path()).path(),
                 besideFile ? QFileInfo(m_source).path() : m_journal.outOfTreeFolder());
        QVERIFY(!QFileInfo::exists(copy.path()));
        QCOMPARE(given, arguments(kind, config, copy.filePath()));
        const QString url = u"file://"_s + QString(m_source).replace(u' ', u"%20"_s);
        QCOMPARE(m_console, QStringList(u"Run Fix " + url) + console);
        QCOMPARE(fixer->language(), SupportedFileExtensions::displayName(kind));
        QCOMPARE(result.outcome,
                 failure.isEmpty() ? FixResult::Outcome::unchanged : FixResult::Outcome::failed);
        QCOMPARE(result.reason, failure);
        QVERIFY(!result.changed()); // none of them changed the file: no fix
        QCOMPARE(LogFile::messages(), logged);
    }

    // The tool is looked up at every fix, so one installed while Sprucer runs is used at once.
    void aMissingConfigurationOrToolFailsTheFix()
    {
        const SprucerFactory factory(m_configurations, environment(ToolResolver()));
        QCOMPARE(factory.makeFixer(CodeWatcherModel::make(u"w"_s, {}, Kind::cpp, {})).error(),
                 ConfigManagerFactory::notFoundError());
        const auto swift = fixer(Kind::swift, ToolResolver({m_tools}, false));
        const FixResult missing = swift->fix(m_source);
        QVERIFY(LogFile::text().contains(u"] Failed to run SwiftLint: "_s));
        QCOMPARE(missing.outcome, FixResult::Outcome::failed);
        QVERIFY(missing.reason.startsWith(u"SwiftLint: "_s));
        StandInTool::write(m_tools, u"swiftlint"_s, u"echo 'let fixed = 1' > \"$file\""_s);
        QCOMPARE(swift->fix(m_source).outcome, FixResult::Outcome::changed);
    }

    void aHungToolIsKilledWithItsChildren()
    {
        const QString pidFile = m_root.filePath(u"child.pid"_s);
        const FixResult hung =
            standIn(Kind::cpp, u"sleep 600 &\necho $! > '%1'\nwait"_s.arg(pidFile), 300ms)
                ->fix(m_source);
        QVERIFY(LogFile::text().endsWith(
            u"] Failed to run clang-format: The tool did not finish within 0.3 s "
            "and was stopped.\n"_s));
        QCOMPARE(hung.outcome, FixResult::Outcome::failed);
        // The tool's child went with it (or is dead, waiting for its new parent to reap it).
        const QString stat = u"/proc/" + fileText(pidFile).trimmed() + u"/stat";
        QTRY_VERIFY(!QFile::exists(stat) || fileText(stat).section(u' ', 2, 2) == u"Z");
    }

    // A tool that runs away is stopped at its limit and the file stays as saved. A group run
    // that hits one is redone file by file, so the failure names the one file that needs more.
    void aToolOverItsLimitIsStoppedAndNamed_data()
    {
        QTest::addColumn<QString>("hog");    // what the stand-in does with long.cpp
        QTest::addColumn<QString>("reason"); // "%1": long.cpp's path
        // Python reports its failed allocation as the runtimes of real tools do.
        QTest::newRow("memory")
            << u"python3 -c 'a = []\nwhile True: a.append(bytearray(1 << 24))'"_s
            << u"clang-format needed more than 192 MiB for %1"_s;
        QTest::newRow("processor time")
            << u"while :; do :; done"_s
            << u"clang-format used more than 1 s of processor time for %1"_s;
    }

    void aToolOverItsLimitIsStoppedAndNamed()
    {
        QFETCH(QString, hog);
        QFETCH(QString, reason);
        m_limits = ToolLimits{192 * 1024 * 1024, ToolLimits::Memory::addressSpace, 1s};
        const QString small = m_root.filePath(u"my sources/small.cpp"_s);
        const QString large = m_root.filePath(u"my sources/long.cpp"_s);
        writeFile(small, "int a;\n");
        writeFile(large, "int b;\n");
        const auto cpp =
            standIn(Kind::cpp, u"for f; do case \"$f\" in\n"
                               "  *long.cpp) %1;;\n"
                               "  /*) tr a-z A-Z < \"$f\" > \"$f.new\" && mv \"$f.new\" \"$f\";;\n"
                               "esac; done"_s.arg(hog));

        const QList<FixResult> results = cpp->fixAll({small, large});
        QCOMPARE(readFile(small), "INT A;\n");
        QCOMPARE(readFile(large), "int b;\n");
        QCOMPARE(results.value(1).outcome, FixResult::Outcome::failed);
        QCOMPARE(results.value(1).reason, reason.arg(large));
        QCOMPARE(RunSummary::failureOf(large, results.value(1).reason), reason.arg(u"long.cpp"_s));
        QCOMPARE(LogFile::messages(), QStringList(reason.arg(large)));
        QCOMPARE(fixCount(results), 1);
    }

    // ktlint's JVM reserves far more address space than its memory limit, yet must start: only
    // its writable memory is bounded.
    void aJvmToolMayReserveMoreThanItsLimit()
    {
        m_limits = ToolLimits{64 * 1024 * 1024, ToolLimits::Memory::addressSpace, 10s};
        const auto kotlin = standIn(Kind::kotlin, u"python3 -c 'import mmap\n"
                                                  "mmap.mmap(-1, 1 << 30, prot=mmap.PROT_READ)' && "
                                                  "echo 'class Main' > \"$file\""_s);
        writeFile(m_source, "class  Main\n");
        QCOMPARE(kotlin->fix(m_source).outcome, FixResult::Outcome::changed);
        QCOMPARE(readFile(m_source), "class Main\n");
    }

    void limitsReadAsSizesAUserKnows()
    {
        QCOMPARE(ToolLimits::sizeText(qint64(2) << 30), u"2 GiB"_s);
        QCOMPARE(ToolLimits::sizeText((qint64(2) << 30) - 4096), u"2 GiB"_s);
        QCOMPARE(ToolLimits::sizeText(qint64(3) << 29), u"1.5 GiB"_s);
        QCOMPARE(ToolLimits::sizeText(qint64(1) << 29), u"512 MiB"_s);
    }

    // Two links to one file share its lock; the fixes run on threads as in the pipeline.
    void fixesOfOneFileNeverOverlap()
    {
        const QString link = m_root.filePath(u"my sources/link.src"_s);
        const QString runs = m_root.filePath(u"runs"_s), overlaps = m_root.filePath(u"overlaps"_s);
        QVERIFY(::link(QFile::encodeName(m_source), QFile::encodeName(link)) == 0);
        const auto fixer =
            standIn(Kind::kotlin,
                    u"mkdir '%1.lock' || echo x >> '%2'\n"
                    "sleep 0.05; rmdir '%1.lock'; echo >> '%3'"_s.arg(m_source, overlaps, runs));
        std::vector<std::unique_ptr<QThread>> threads;
        std::atomic<int> changed = 0;
        for (const QString &path : {m_source, link, m_source, link, m_source, link}) {
            threads.emplace_back(
                QThread::create([&, path] { changed += fixer->fix(path).changed() ? 1 : 0; }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));
        QCOMPARE(StandInTool::readLines(runs).size(), 6);
        QVERIFY(!QFile::exists(overlaps));
        QCOMPARE(changed.load(), 0); // the stand-in changes nothing
        QCOMPARE(m_coordinator.activePathCount(), 0);
        QVERIFY(QFile::remove(link));
    }

    // Groups take their locks in one order, and a file named twice once.
    void groupsSharingFilesNeverWaitOnEachOther()
    {
        const QString a = m_root.filePath(u"my sources/a.cpp"_s);
        const QString b = m_root.filePath(u"my sources/b.cpp"_s);
        writeFile(a, "");
        writeFile(b, "");
        const auto lockOften = [this](const QStringList &paths) {
            for (int i = 0; i < 300; ++i)
                m_coordinator.coordinateAll(paths,
                                            [](const auto &) { QThread::yieldCurrentThread(); });
        };
        std::unique_ptr<QThread> one(QThread::create(lockOften, QStringList{a, b, a}));
        std::unique_ptr<QThread> two(QThread::create(lockOften, QStringList{b, a}));
        one->start();
        two->start();
        QVERIFY(one->wait(20000) && two->wait(20000));
        QCOMPARE(m_coordinator.activePathCount(), 0);
    }

    // A fixer released while its fix sleeps on the file's lock does nothing once it gets it.
    void aLockedFileHoldsBackOnlyItsOwnFixes()
    {
        auto fixer = standIn(Kind::cpp, u"echo changed >> \"$file\""_s);
        QVERIFY(QFile(m_source + u".h").open(QIODevice::WriteOnly));
        std::atomic<pid_t> waiter = 0;
        FixResult otherResult, waitingResult;
        std::unique_ptr<QThread> other(
            QThread::create([&] { otherResult = fixer->fix(m_source + u".h"); }));
        std::unique_ptr<QThread> waiting(QThread::create([&, raw = fixer.get()] {
            waiter = ::gettid();
            waitingResult = raw->fix(m_source);
        }));
        m_coordinator.coordinate(m_source, [&](const auto &) {
            other->start();
            QVERIFY(other->wait(10000));
            waiting->start();
            const auto stat = [&] {
                return u"/proc/self/task/%1/stat"_s.arg(waiter.load());
            };
            QTRY_COMPARE(fileText(stat()).section(u' ', 2, 2), u"S"_s);
            fixer.reset();
        });
        QVERIFY(other->wait(10000) && waiting->wait(10000));
        QCOMPARE(otherResult.outcome, FixResult::Outcome::changed);
        QVERIFY(!waitingResult.changed());
    }

    // ktlint would run regardless, but handed an empty or relative path it may format the
    // whole working directory.
    void aRefusedFileIsLoggedAndNoToolRuns()
    {
        const QString record = m_root.filePath(u"refused"_s);
        const auto kotlin = standIn(Kind::kotlin, StandInTool::recordArguments(record));
        kotlin->fix(QString());
        kotlin->fix(u"Main.kt"_s);
        QVERIFY(!QFile::exists(record));
        const QString refused =
            u"⚠️ File coordination error: \"%1\" is not an absolute path."_s;
        QCOMPARE(LogFile::messages(),
                 QStringList({refused.arg(QString()), refused.arg(u"Main.kt"_s)}));
    }

    // The tool sees the copy where it would see the file: the same name, the same settings
    // files beside and above it. Each row's result must equal the tool's own run on the original.
    void theCopyGivesTheToolTheSameViewAsTheFile_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");     // of the file, in src/deeper of the project
        QTest::addColumn<QByteArray>("text");  // of the file
        QTest::addColumn<QString>("settings"); // name of the settings file a stand-in looks for
        QTest::addColumn<QString>("config");   // of the watcher, for the real tool
        const QString sections = kLanguageSections;
        const QByteArray objectiveC = kObjectiveC;
        QTest::newRow("clang-format, header")
            << Kind::objectivec << u"T.h"_s << objectiveC << QString() << sections;
        QTest::newRow("clang-format, C++")
            << Kind::cpp << u"T.cc"_s << objectiveC << QString() << sections;
        QTest::newRow("ktlint") << Kind::kotlin << u"Main.kt"_s << QByteArray("class Main\n")
                                << u".editorconfig"_s << QString();
        QTest::newRow("SwiftLint")
            << Kind::swift << u"Main.swift"_s << QByteArray("struct Main {}\n")
            << u".swiftlint.yml"_s << QString();
    }

    void theCopyGivesTheToolTheSameViewAsTheFile()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QFETCH(QString, settings);
        QFETCH(QString, config);
        const QString project = m_root.filePath(u"view of "_s + name);
        const QString file = project + u"/src/deeper/"_s + name;
        QVERIFY(QDir().mkpath(project + u"/src/deeper"_s));
        std::shared_ptr<IFixer> made;
        if (settings.isEmpty()) {
            made = fixer(kind, ToolResolver({}, true), config);
        } else {
            writeFile(project + u'/' + settings, "project-wide");
            writeFile(project + u"/src/"_s + settings, "src");
            writeFile(project + u"/src/deeper/"_s + settings, "beside");
            // Like the tool: every settings file from the file's folder up, and the rule that a
            // file is named after its type.
            made = standIn(kind,
                           u"found=; dir=${file%/*}\n"
                           "while [ -n \"$dir\" ]; do\n"
                           "  [ -f \"$dir/%1\" ] && found=\"$found $(cat \"$dir/%1\")\"\n"
                           "  dir=${dir%/*}\ndone\n"
                           "name=${file##*/}\n"
                           "grep -q \" ${name%.*}\" \"$file\" || echo \"$file: wrong name\" >&2\n"
                           "echo \"$name:$found\" > \"$file\""_s.arg(settings));
        }
        const QString tool = ToolResolver(settings.isEmpty() ? QStringList() : QStringList{m_tools},
                                          settings.isEmpty())
                                 .launchPath(ToolProfile::of(kind).executable);
        const QString configPath = m_configurations.configs().constLast().path.toLocalFile();
        writeFile(file, text);
        QCOMPARE(QProcess::execute(tool, arguments(kind, configPath, file)), 0);
        const QByteArray expected = readFile(file);
        QVERIFY(expected != text);

        writeFile(file, text);
        QVERIFY(made->fix(file).changed());
        QCOMPARE(readFile(file), expected);
        QCOMPARE(LogFile::text(), QString());
    }

    // Files handed in together share one run of the tool, yet each is judged as if alone: a run
    // that says anything, or outlives its limit, is redone file by file.
    void aGroupIsJudgedFileByFile_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("second");       // the group's second file
        QTest::addColumn<QString>("first");           // a line the stand-in runs first
        QTest::addColumn<bool>("savedMeanwhile");     // the second, once the tool is done
        QTest::addColumn<int>("runs");                // of the tool
        QTest::addColumn<QByteArrayList>("expected"); // the files after
        QTest::addColumn<QStringList>("logged");      // "%1": the second file's path
        QTest::newRow("every file succeeds")
            << Kind::cpp << QByteArray("int b;\n") << QString() << false << 1
            << QByteArrayList{"INT A;\n", "INT B;\n", "INT C;\n"} << QStringList();
        QTest::newRow("one file complains")
            << Kind::cpp << QByteArray("int bad;\n") << QString() << false << 4
            << QByteArrayList{"INT A;\n", "int bad;\n", "INT C;\n"}
            << QStringList(u"clang-format error: %1: bad"_s);
        QTest::newRow("over the time limit")
            << Kind::cpp << QByteArray("int b;\n") << u"[ $# -gt 3 ] && sleep 10"_s << false << 4
            << QByteArrayList{"INT A;\n", "INT B;\n", "INT C;\n"} << QStringList();
        QTest::newRow("saved meanwhile")
            << Kind::cpp << QByteArray("int b;\n") << QString() << true << 1
            << QByteArrayList{"INT A;\n", "int saved;\n", "INT C;\n"}
            << QStringList(u"Not replaced, saved again meanwhile: %1"_s);
        // SwiftLint's "Correcting" passes one file, yet must not pass a group with a complaint.
        QTest::newRow("SwiftLint corrects and complains")
            << Kind::swift << QByteArray("int bad;\n") << u"echo Correcting >&2"_s << false << 4
            << QByteArrayList{"INT A;\n", "int bad;\n", "INT C;\n"} << QStringList();
    }

    void aGroupIsJudgedFileByFile()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, second);
        QFETCH(QString, first);
        QFETCH(bool, savedMeanwhile);
        QFETCH(int, runs);
        QFETCH(QByteArrayList, expected);
        QFETCH(QStringList, logged);
        const QString record = m_root.filePath(u"group runs"_s);
        QFile::remove(record);
        QStringList files;
        for (const char *name : {"a.cpp", "b.cpp", "c.cpp"})
            files << m_root.filePath(u"my sources/"_s + QLatin1String(name));
        writeFile(files[0], "int a;\n");
        writeFile(files[1], second);
        writeFile(files[2], "int c;\n");
        if (savedMeanwhile) {
            m_probe = [&](FixStage stage) {
                if (stage == FixStage::toolFinished)
                    writeFile(files[1], "int saved;\n");
            };
        }
        const auto fixer =
            standIn(kind,
                    u"echo >> '%1'\n%2\nfor f; do case \"$f\" in -*) continue;; esac\n"
                    "  if grep -q bad \"$f\"; then echo \"$f: bad\" >&2\n"
                    "  else tr a-z A-Z < \"$f\" > \"$f.new\" && mv \"$f.new\" \"$f\"; fi\n"
                    "done"_s.arg(record, first),
                    1500ms);

        const QList<FixResult> results = fixer->fixAll(files);
        QCOMPARE(StandInTool::readLines(record).size(), runs);
        QCOMPARE(QByteArrayList({readFile(files[0]), readFile(files[1]), readFile(files[2])}),
                 expected);
        QCOMPARE(results.size(), 3);
        QCOMPARE(results[1].superseded(), savedMeanwhile);
        // Only files the tool changed count: a complaint, a newer save or a file left alone is
        // no fix.
        const bool secondUnchanged = second.contains("bad") || savedMeanwhile;
        QCOMPARE(fixCount(results), secondUnchanged ? 2 : 3);
        QCOMPARE(results[0].outcome, FixResult::Outcome::changed);
        QCOMPARE(LogFile::messages(), logged.replaceInStrings(u"%1"_s, files[1]));
        QCOMPARE(m_console.size(), 3); // "Run Fix" once a file, even when redone
    }

    // Files handed in together that the tool left as they were, or as it wrote them, are not run
    // again while they stay so; a save always runs.
    void filesFoundFormattedAreNotRunAgain()
    {
        const QString record = m_root.filePath(u"runs"_s);
        QFile::remove(record);
        const QStringList files{m_root.filePath(u"A.cpp"_s), m_root.filePath(u"b.cpp"_s)};
        writeFile(files[0], "INT A;\n");
        writeFile(files[1], "int b;\n");
        FormattedFileCache formatted({});
        m_formatted = &formatted;
        const auto fixer =
            standIn(Kind::cpp, u"case \"$1\" in --version) echo 'stand-in 1'; exit 0;; esac\n"
                               "echo run >> '%1'\n"
                               "for f; do case \"$f\" in -*) continue;; esac\n"
                               "  tr a-z A-Z < \"$f\" > \"$f.new\" && mv \"$f.new\" \"$f\"\n"
                               "done"_s.arg(record));
        m_formatted = nullptr;
        const auto runs = [&] {
            return StandInTool::readLines(record).size();
        };

        QCOMPARE(fixer->fixAll(files)[1].outcome, FixResult::Outcome::changed);
        QCOMPARE(runs(), 1);
        const QList<FixResult> second = fixer->fixAll(files);
        QCOMPARE(second[0].outcome, FixResult::Outcome::unchanged);
        QCOMPARE(second[1].outcome, FixResult::Outcome::unchanged); // as the tool left it
        QCOMPARE(runs(), 1);
        writeFile(files[1], "int B;\n"); // saved since
        QCOMPARE(fixer->fixAll(files)[1].outcome, FixResult::Outcome::changed);
        QCOMPARE(runs(), 2);
        QCOMPARE(fixer->fix(files[0]).outcome, FixResult::Outcome::unchanged);
        QCOMPARE(runs(), 3); // a save always runs
    }

    // The real formatter over a small tree, on copies out of it: one run gives each file what
    // a run of its own in place gives it, though names and content make some of them
    // Objective-C and others C++, two share a name and one's name is neither plain nor ASCII.
    // The tree holds no copy while the tool runs, nor after; the copies are the user's alone.
    void aGroupOfTheRealFormatterMatchesOneRunPerFile()
    {
        const QString tree = m_root.filePath(u"tree"_s);
        QStringList names;
        for (int i = 0; i < 12; ++i)
            names << u"module%1/"_s.arg(i % 3) + (i % 2 ? u"T%1.h"_s : u"U%1.cc"_s).arg(i);
        names << u"module0/Same.cc"_s << u"module1/Same.cc"_s << u"módulo ü/Fïle näme.h"_s;
        QStringList inTree, outside;
        m_probe = [&](FixStage stage) {
            if (stage == FixStage::copied) {
                inTree = PrivateCopyFolders::under(tree);
                outside = PrivateCopyFolders::under(m_copies);
            }
        };
        const auto cpp = fixer(Kind::cpp, ToolResolver({}, true), kLanguageSections);
        const QString configPath = m_configurations.configs().constLast().path.toLocalFile();
        QStringList files;
        QByteArrayList texts, expected;
        for (qsizetype i = 0; i < names.size(); ++i) {
            files << tree + u'/' + names[i];
            QVERIFY(QDir().mkpath(QFileInfo(files.last()).path()));
            texts << (i < 12 && i % 4 < 2 ? kObjectiveC
                                          : "namespace n{int f" + QByteArray::number(i) +
                                                "(int a,int b){return a+b;}}\n");
            writeFile(files.last(), texts.last());
            QCOMPARE(QProcess::execute(u"clang-format"_s,
                                       arguments(Kind::cpp, configPath, files.last())),
                     0);
            expected << readFile(files.last());
            writeFile(files.last(), texts.last());
        }
        const QList<FixResult> results = cpp->fixAll(files);
        for (qsizetype i = 0; i < files.size(); ++i)
            QCOMPARE(readFile(files[i]), expected[i]);
        QCOMPARE(fixCount(results), files.size());
        QCOMPARE(LogFile::text(), QString());
        QCOMPARE(inTree, QStringList());
        QCOMPARE(outside.size(), files.size()); // one run, each file in a folder of its own
        QCOMPARE(PrivateCopyFolders::under(tree) + PrivateCopyFolders::under(m_copies),
                 QStringList());
        for (const QString &folder : {m_copies, m_journal.outOfTreeFolder()})
            QCOMPARE(statOf(folder).st_mode & 0777, 0700u);
    }

    // A check runs and judges the real formatter as a fix does, in a group and alone, and hands
    // back what it would write, but every file stays as it was, to its inode and time. An empty
    // result still fails, and nothing is written to the console.
    void aCheckLeavesEveryFileAsItWas()
    {
        m_checkOnly = true;
        const QString tree = m_root.filePath(u"checked"_s), reference = m_root.filePath(u"ref.h"_s);
        const QByteArrayList texts = {"int  f(){return 1;}\n", "int g();\n", kObjectiveC,
                                      "int x ;\n"};
        const auto cpp = fixer(Kind::cpp, ToolResolver({}, true), kLanguageSections);
        const QString configPath = m_configurations.configs().constLast().path.toLocalFile();
        QVERIFY(QDir().mkpath(tree));
        QStringList files;
        QByteArrayList expected;
        std::vector<struct stat> before;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            writeFile(reference, texts[i]);
            QCOMPARE(
                QProcess::execute(u"clang-format"_s, arguments(Kind::cpp, configPath, reference)),
                0);
            expected << readFile(reference);
            files << tree + u"/f%1.h"_s.arg(i);
            writeFile(files.last(), i == 1 ? expected.last() : texts[i]);
            before.push_back(statOf(files.last()));
        }
        const QList<FixResult> results = cpp->fixAll(files.mid(0, 3)) << cpp->fix(files[3]);
        for (qsizetype i = 0; i < files.size(); ++i) {
            QCOMPARE(results[i].outcome,
                     i == 1 ? FixResult::Outcome::unchanged : FixResult::Outcome::changed);
            QCOMPARE(results[i].content, std::optional(expected[i]));
            QCOMPARE(results[i].original, i == 1 ? std::nullopt : std::optional(texts[i]));
            QCOMPARE(readFile(files[i]), i == 1 ? expected[i] : texts[i]);
            const struct stat after = statOf(files[i]);
            QVERIFY(after.st_ino == before[i].st_ino &&
                    after.st_mtim.tv_sec == before[i].st_mtim.tv_sec &&
                    after.st_mtim.tv_nsec == before[i].st_mtim.tv_nsec);
        }
        const FixResult emptied = standIn(Kind::cpp, u": > \"$file\""_s)->fix(files[0]);
        QCOMPARE(emptied.outcome, FixResult::Outcome::failed);
        QCOMPARE(emptied.reason, u"clang-format left an empty result"_s);
        QCOMPARE(readFile(files[0]), texts[0]);
        QCOMPARE(m_console, QStringList());
    }

    // The result takes the file's place with its mode and links; an unchanged one is not
    // written at all, so editors see no change on disk.
    void theResultKeepsWhatMakesTheFileTheUsers()
    {
        const auto cpp = standIn(Kind::cpp, u"tr a-z A-Z < \"$file\" > \"$file.new\" && "
                                            "mv \"$file.new\" \"$file\""_s);
        const QString single = m_root.filePath(u"my sources/single.cpp"_s);
        const QString linked = m_root.filePath(u"my sources/linked.cpp"_s);
        const QString link = m_root.filePath(u"link.cpp"_s);
        writeFile(single, "int a;\n");
        writeFile(linked, "int b;\n");
        QVERIFY(::chmod(QFile::encodeName(single), 0640) == 0);
        QVERIFY(::link(QFile::encodeName(linked), QFile::encodeName(link)) == 0);
        const struct stat linkedBefore = statOf(linked);

        cpp->fix(single);
        cpp->fix(linked);
        QCOMPARE(readFile(single), "INT A;\n");
        QCOMPARE(statOf(single).st_mode & 07777, 0640u);
        QCOMPARE(readFile(link), "INT B;\n");
        QCOMPARE(statOf(linked).st_ino, linkedBefore.st_ino);
        QCOMPARE(statOf(linked).st_nlink, nlink_t(2));

        const struct stat before = statOf(single);
        const FixResult again = cpp->fix(single);
        const struct stat after = statOf(single);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        QCOMPARE(again.outcome, FixResult::Outcome::unchanged); // and is no fix
    }

    // Too large, or not text: no tool sees it, and the log says why.
    void onlySourceTextIsHandedToTheTool()
    {
        const QString record = m_root.filePath(u"handed"_s);
        const auto cpp = standIn(Kind::cpp, StandInTool::recordArguments(record));
        const QString large = m_root.filePath(u"my sources/large.cpp"_s);
        const QString binary = m_root.filePath(u"my sources/binary.cpp"_s);
        QFile sparse(large);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(ToolFixer::sizeLimit + 1));
        sparse.close();
        writeFile(binary, QByteArray(8000, 'x') + '\0' + "int x;\n");
        const QList<FixResult> results{cpp->fix(large), cpp->fix(binary)};
        QVERIFY(!QFile::exists(record));
        QCOMPARE(LogFile::messages(),
                 QStringList({u"Not formatted (larger than 16 MiB): "_s + large,
                              u"Not formatted (not a text file): "_s + binary}));
        QCOMPARE(fixCount(results), 0);
    }

    // Neither a write that fails for want of space nor a tool that leaves an empty result
    // without a word costs the user's text.
    void aFullDiskNeverEmptiesTheFile()
    {
        const auto cpp = standIn(Kind::cpp, u": > \"$file\""_s);
        const QByteArray text = QByteArray(30000, ' ') + "int x;\n";
        writeFile(m_source, text);
        cpp->fix(m_source);
        QCOMPARE(readFile(m_source), text);
        QCOMPARE(LogFile::messages(),
                 QStringList(u"clang-format left an empty result; kept "_s + m_source));

        LogFile::clear();
        rlimit limit{}, full{16000, RLIM_INFINITY};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &limit) == 0);
        full.rlim_max = limit.rlim_max;
        ::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
        const FixResult cut = cpp->fix(m_source);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
        QCOMPARE(readFile(m_source), text);
        QVERIFY(LogFile::messages().value(0).startsWith(u"Could not make a private copy of "_s +
                                                        m_source + u": "_s));
        QCOMPARE(cut.outcome, FixResult::Outcome::failed);
        writeFile(m_source, QByteArray());
    }

    // The copies of a process killed mid-run, beside the file and out of the tree, are removed
    // by the next fix run of any process, which sweeps at most once an interval; a running
    // process's are not, and nothing but a copy folder is ever removed.
    void copiesLeftByAGoneProcessAreRemoved()
    {
        const QString journals = m_root.filePath(u"journals"_s);
        const QString project = m_root.filePath(u"crashed"_s);
        const QString live = project + u"/.sprucer-copy-live01"_s;
        const QString notACopy = project + u"/kept"_s;
        for (const QString &folder : {live, notACopy})
            QVERIFY(QDir().mkpath(folder));
        const QString file = project + u"/Main.kt"_s;
        writeFile(file, "class Main\n");
        const pid_t crashed = ::fork();
        if (crashed == 0) {
            CopyJournal journal(journals, m_copies);
            const SavedFile saved = SavedFile::read(file, 1024).value();
            for (auto place : {PrivateCopy::Place::besideFile, PrivateCopy::Place::outsideTree})
                (void)PrivateCopy::make(saved, &journal, place).value().release();
            journal.remember(notACopy);
            ::kill(::getpid(), SIGKILL);
        }
        int status = 0;
        QCOMPARE(::waitpid(crashed, &status, 0), crashed);
        QVERIFY(WIFSIGNALED(status));
        CopyJournal running(journals, m_copies);
        running.remember(live);
        QStringList leftovers =
            PrivateCopyFolders::under(project) + PrivateCopyFolders::under(m_copies);
        leftovers.removeOne(live);
        QCOMPARE(leftovers.size(), 2);
        CopyJournal lately(journals, m_copies, 1h);
        QCOMPARE(lately.sweepIfDue(), 0);

        standIn(Kind::cpp, QString())->fix(m_source);
        QCOMPARE(PrivateCopyFolders::under(project) + PrivateCopyFolders::under(m_copies),
                 QStringList(live));
        QVERIFY(QFileInfo::exists(notACopy));
        QCOMPARE(LogFile::messages(),
                 leftovers.replaceInStrings(QRegularExpression(u"^"_s),
                                            u"Removed a leftover private copy: "_s));
        QCOMPARE(QDir(journals).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);
        QCOMPARE(QDir(m_copies).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList(QFileInfo(m_journal.outOfTreeFolder()).fileName()));
    }

    void resolverTakesTheFirstExecutableFileThenThePath()
    {
        QStringList folders, tools;
        for (const QString &name : {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}) {
            folders << m_root.filePath(name);
            tools << StandInTool::write(folders.last(), u"tool"_s, QString());
        }
        // Only the last two qualify: a directory, a plain file and a dangling link come first.
        QVERIFY(QFile::remove(tools[0]) && QDir().mkpath(tools[0]));
        QVERIFY(QFile::setPermissions(tools[1], QFileDevice::ReadOwner));
        QVERIFY(QFile::remove(tools[2]) && QFile::link(m_root.filePath(u"nowhere"_s), tools[2]));
        const auto resolver = [&](qsizetype count, bool searchPath) {
            return ToolResolver(folders.first(count), searchPath);
        };
        QCOMPARE(resolver(5, false).resolve(u"tool"_s), tools[3]);
        QCOMPARE(resolver(3, false).resolve(u"tool"_s), std::nullopt);
        // Nothing qualifies: a fix launches the first candidate and fails visibly.
        QCOMPARE(resolver(3, false).launchPath(u"tool"_s), tools[0]);
        qputenv("PATH", folders[4].toUtf8() + ':' + qgetenv("PATH"));
        QCOMPARE(resolver(1, true).resolve(u"tool"_s), tools[4]);
        QCOMPARE(resolver(1, false).resolve(u"tool"_s), std::nullopt);
    }

    // Each check logs where it found the tool or tells how to install it.
    void dependencyStatusSignalsOnlyChanges()
    {
        const QString bin = m_root.filePath(u"usr local bin"_s);
        StandInTool::write(bin, u"clang-format"_s, QString());
        const DependencyChecker checker(ToolResolver({bin}, false));
        DependencyStatusViewModel model(checker);
        QStringList events;
        const auto on = [&](auto signal, const QString &name) {
            connect(&model, signal,
                    [&events, name](const auto &value) { events << name + u'=' + shown(value); });
        };
        on(&DependencyStatusViewModel::swiftLintInstalledChanged, u"swift"_s);
        on(&DependencyStatusViewModel::swiftLintErrorChanged, u"swiftError"_s);
        on(&DependencyStatusViewModel::clangFormatInstalledChanged, u"clang"_s);
        on(&DependencyStatusViewModel::clangFormatErrorChanged, u"clangError"_s);
        on(&DependencyStatusViewModel::ktlintInstalledChanged, u"ktlint"_s);
        on(&DependencyStatusViewModel::ktlintFormatErrorChanged, u"ktlintError"_s);
        const auto hint = [](const QString &tool) -> QString {
            return tool + u" is not installed. Please install it using:\nbrew install " + tool;
        };

        model.checkAllDependencies();
        QCOMPARE(events, QStringList({u"swiftError=" + hint(u"swiftlint"_s), u"clang=true"_s,
                                      u"ktlintError=" + hint(u"ktlint"_s)}));
        events.clear();
        model.checkAllDependencies();
        QCOMPARE(events, QStringList());
        const QString found = u"] Found clang-format at: " + bin + u"/clang-format\n";
        QCOMPARE(LogFile::text().count(found), 2);
        QFile::remove(bin + u"/clang-format"_s);
        StandInTool::write(bin, u"ktlint"_s, QString());
        model.checkAllDependencies();
        QCOMPARE(events, QStringList({u"clang=false"_s, u"clangError=" + hint(u"clang-format"_s),
                                      u"ktlint=true"_s, u"ktlintError=-"_s}));
    }
};

SPRUCER_TEST_MAIN(TestFixers)
#include "TestFixers.moc"
