// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/SprucerFactory.h"
#include "core/model/CodeWatcherModel.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/Console.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using Kind = SupportedFileExtension;

namespace {

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// The fixers as the factory makes them, run on stand-ins that behave as each tool does at its
// interface, and once on the real clang-format.
class TestFixers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_tools = m_root.filePath(QStringLiteral("tools"));
    QString m_source = m_root.filePath(QStringLiteral("my sources/Main file.src"));
    QStringList m_console;
    CodeFixStatistics m_statistics;
    FileCoordinator m_coordinator;

    std::shared_ptr<IFixer> fixer(Kind kind, const ToolResolver &resolver,
                                  const QString &configText = QString(),
                                  std::chrono::milliseconds timeout = 30s)
    {
        const QUuid id = QUuid::createUuid();
        ConfigManagerFactory().createConfig(id, configText, kind, QStringLiteral("mine"));
        const SprucerFactory factory({resolver, &m_statistics, &m_coordinator, timeout});
        auto made = factory.makeFixer(CodeWatcherModel::make(QStringLiteral("w"), {}, kind, id));
        LogFile::clear(); // of the store's own lines
        return made.value();
    }

    std::shared_ptr<IFixer> standIn(Kind kind, const QString &body,
                                    std::chrono::milliseconds timeout = 30s)
    {
        StandInTool::write(m_tools, ToolProfile::of(kind).executable, body);
        return fixer(kind, ToolResolver({m_tools}, false), QString(), timeout);
    }

    qint64 fixCount(const QString &language)
    {
        QCoreApplication::processEvents(); // counts arrive queued
        qint64 count = 0;
        for (const DailyFix &fix : m_statistics.dailyFixes())
            count += fix.language == language ? fix.count : 0;
        return count;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A literal "%41" in a folder name must reach the tool as it is on disk, not decoded a
        // second time; the space, as in "Application Support", must not split the argument.
        qputenv("XDG_DATA_HOME", m_root.filePath(QStringLiteral("App Support/50%41")).toUtf8());
        Console::setSink([this](const QString &line) { m_console.append(line); });
        QDir().mkpath(m_root.filePath(QStringLiteral("my sources")));
    }

    void cleanupTestCase() { Console::setSink({}); }

    void init()
    {
        TestHome::current().reset();
        m_statistics.setDailyFixes({});
        m_console.clear();
        QDir(m_tools).removeRecursively();
        QFile source(m_source);
        QVERIFY(source.open(QIODevice::WriteOnly | QIODevice::Truncate));
        source.write("int  main( ){}\n");
    }

    void aMissingConfigurationGivesTheStoreError()
    {
        const SprucerFactory factory({ToolResolver(), &m_statistics, &m_coordinator});
        const auto made = factory.makeFixer(
            CodeWatcherModel::make(QStringLiteral("w"), {}, Kind::cpp, QUuid::createUuid()));
        QCOMPARE(made.error(), ConfigManagerFactory::notFoundError());
    }

    void eachToolGetsItsArgumentsAndSuccessIsCounted_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("arguments"); // CONFIG and FILE stand for the paths
        const QStringList clang{QStringLiteral("-i"), QStringLiteral("-style=file:CONFIG"),
                                QStringLiteral("FILE")};
        QTest::newRow("C++") << Kind::cpp << clang;
        QTest::newRow("Objective-C") << Kind::objectivec << clang;
        QTest::newRow("Kotlin") << Kind::kotlin
                                << QStringList{QStringLiteral("--format"),
                                               QStringLiteral("--editorconfig=CONFIG"),
                                               QStringLiteral("FILE")};
        QTest::newRow("Swift") << Kind::swift
                               << QStringList{QStringLiteral("--config"), QStringLiteral("CONFIG"),
                                              QStringLiteral("--fix"), QStringLiteral("--format"),
                                              QStringLiteral("FILE")};
    }

    void eachToolGetsItsArgumentsAndSuccessIsCounted()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, arguments);
        const QString record = m_root.filePath(QStringLiteral("arguments"));
        const auto fixer = standIn(kind, StandInTool::recordArguments(record) +
                                             u"printf 'int main() {}\\n' > \"$file\"");
        fixer->fix(m_source);

        const QString config = ConfigManagerFactory().configs().constLast().path.toLocalFile();
        QVERIFY(config.contains(u"/App Support/50%41/"));
        arguments.replaceInStrings(QStringLiteral("CONFIG"), config);
        arguments.replaceInStrings(QStringLiteral("FILE"), m_source);
        QCOMPARE(StandInTool::readLines(record), arguments);
        QCOMPARE(m_console, QStringList(u"Run Fix " + QUrl::fromLocalFile(m_source).toString(
                                                          QUrl::FullyEncoded)));
        QVERIFY(m_console.constFirst().endsWith(QStringLiteral("/my%20sources/Main%20file.src")));
        QCOMPARE(fileText(m_source), QStringLiteral("int main() {}\n"));
        QCOMPARE(fixer->language(), SupportedFileExtensions::displayName(kind));
        QCOMPARE(fixCount(fixer->language()), 1);
        QCOMPARE(LogFile::text(), QString());
    }

    void standardErrorIsJudgedPerTool_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QStringList>("console"); // after "Run Fix"
        const auto row = [](const char *name, Kind kind, const char *script, bool counted,
                            const QString &logged, const QStringList &console = {}) {
            QTest::newRow(name) << kind << QString::fromUtf8(script) << counted << logged
                                << console;
        };
        row("SwiftLint correcting", Kind::swift,
            R"(printf "Correcting '%s' (1/1)\nDone correcting 1 file!\n" "$file" >&2)", true, {});
        row("SwiftLint complaint", Kind::swift, "echo 'No config' >&2", false,
            QStringLiteral("SwiftLint error: No config\n"));
        row("SwiftLint lower case", Kind::swift, "echo correcting >&2", false,
            QStringLiteral("SwiftLint error: correcting\n"));
        row("clang-format warning", Kind::cpp, "echo 'warning: odd key' >&2; exit 0", false,
            QStringLiteral("clang-format error: warning: odd key\n"));
        // Bytes that are not UTF-8 are a complaint all the same.
        row("clang-format bytes", Kind::objectivec, R"(printf '\377 bad\n' >&2)", false,
            QStringLiteral("clang-format error: \uFFFD bad\n"));
        row("ktlint complaint", Kind::kotlin,
            "echo 'Main.kt:1:1: Blank line' >&2; echo 'Summary: 1'", false, {},
            {QStringLiteral("ktlint error: Main.kt:1:1: Blank line\n"),
             QStringLiteral("Summary: 1\n")});
        row("ktlint report", Kind::kotlin, "echo 'Summary: 0'", true, {});
    }

    void standardErrorIsJudgedPerTool()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, script);
        QFETCH(bool, counted);
        QFETCH(QString, logged);
        QFETCH(QStringList, console);
        // The file is rewritten each time: a complaint fails the run even so.
        standIn(kind, u"printf 'formatted\\n' > \"$file\"\n" + script)->fix(m_source);

        QCOMPARE(fileText(m_source), QStringLiteral("formatted\n"));
        QCOMPARE(m_console.mid(1), console);
        const QString log = LogFile::text();
        QVERIFY2(logged.isEmpty() ? log.isEmpty() : log.endsWith(u"] " + logged + u'\n'),
                 qPrintable(log));
        QCOMPARE(fixCount(SupportedFileExtensions::displayName(kind)), counted ? 1 : 0);
    }

    // A tool installed while Sprucer runs is picked up by the next fix.
    void aMissingToolIsLoggedAndNothingCounted()
    {
        const auto swift = fixer(Kind::swift, ToolResolver({m_tools}, false));
        swift->fix(m_source);
        QVERIFY(LogFile::text().contains(QStringLiteral("] Failed to run SwiftLint: ")));
        QCOMPARE(fixCount(QStringLiteral("Swift")), 0);
        StandInTool::write(m_tools, QStringLiteral("swiftlint"), QString());
        swift->fix(m_source);
        QCOMPARE(fixCount(QStringLiteral("Swift")), 1);
    }

    void aHungToolIsKilledWithItsChildren()
    {
        const QString pidFile = m_root.filePath(QStringLiteral("child.pid"));
        const auto fixer = standIn(
            Kind::cpp, QStringLiteral("sleep 600 &\necho $! > '%1'\nwait").arg(pidFile), 300ms);
        QElapsedTimer clock;
        clock.start();
        fixer->fix(m_source);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(LogFile::text().endsWith(QStringLiteral("] Failed to run clang-format: The tool "
                                                        "did not finish within 0.3 s and was "
                                                        "stopped.\n")));
        QCOMPARE(fixCount(QStringLiteral("C++")), 0);
        // The tool's child went with it (or is dead, waiting for its new parent to reap it).
        const QString stat = u"/proc/" + fileText(pidFile).trimmed() + u"/stat";
        QTRY_VERIFY(!QFile::exists(stat) || fileText(stat).section(u' ', 2, 2) == u"Z");
    }

    void floodsOnBothChannelsDoNotBlockTheTool()
    {
        standIn(Kind::swift, QStringLiteral("head -c 4000000 /dev/zero | tr '\\0' o\n"
                                            "echo Correcting >&2\n"
                                            "head -c 4000000 /dev/zero >&2"))
            ->fix(m_source);
        QCOMPARE(fixCount(QStringLiteral("Swift")), 1);
    }

    void fixesOfOneFileNeverOverlap()
    {
        const QString runs = m_root.filePath(QStringLiteral("runs")),
                      overlaps = m_root.filePath(QStringLiteral("overlaps"));
        const auto fixer =
            standIn(Kind::kotlin, QStringLiteral("mkdir \"$file.lock\" || echo x >> '%1'\n"
                                                 "sleep 0.05; rmdir \"$file.lock\"; echo >> '%2'")
                                      .arg(overlaps, runs));
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back(QThread::create([&] {
                for (int i = 0; i < 3; ++i)
                    fixer->fix(m_source);
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));
        QCOMPARE(StandInTool::readLines(runs).size(), 9);
        QVERIFY(!QFile::exists(overlaps));
        QCOMPARE(fixCount(QStringLiteral("Kotlin")), 9);
        QCOMPARE(m_coordinator.activePathCount(), 0);
    }

    void aReleasedFixerSkipsItsWaitingFix()
    {
        const QString record = m_root.filePath(QStringLiteral("released"));
        auto fixer = standIn(Kind::cpp, StandInTool::recordArguments(record));
        QSemaphore holding, release;
        std::unique_ptr<QThread> holder(QThread::create([&] {
            m_coordinator.coordinate(m_source, [&](const std::optional<Error> &) {
                holding.release();
                release.acquire();
            });
        }));
        holder->start();
        QVERIFY(holding.tryAcquire(1, 10000));
        std::unique_ptr<QThread> fixing(
            QThread::create([raw = fixer.get(), this] { raw->fix(m_source); }));
        fixing->start();
        // "Run Fix" is written once the fix holds its weak reference.
        QTRY_COMPARE(m_console.size(), 1);
        fixer.reset();
        release.release();
        QVERIFY(holder->wait(10000) && fixing->wait(10000));
        QVERIFY(!QFile::exists(record));
    }

    // ktlint would go on, but handed a relative path it may format the working directory.
    void aRefusedFileIsLoggedAndNoToolRuns()
    {
        const QString record = m_root.filePath(QStringLiteral("refused"));
        const auto kotlin = standIn(Kind::kotlin, StandInTool::recordArguments(record));
        const auto swift = standIn(Kind::swift, StandInTool::recordArguments(record));
        kotlin->fix(QStringLiteral("Main.kt"));
        swift->fix(QStringLiteral("Main.kt"));
        QVERIFY(!QFile::exists(record));
        QCOMPARE(LogFile::text().count(QStringLiteral(
                     "] ⚠️ File coordination error: \"Main.kt\" is not an absolute path.\n")),
                 2);
    }

    void theRealClangFormatFormatsInPlace()
    {
        const auto cpp = fixer(Kind::cpp, ToolResolver({}, true),
                               QStringLiteral("BasedOnStyle: LLVM\nIndentWidth: 8\n"));
        QFile file(m_source);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("int   main( ) {\nint x=1;   return x; }\n");
        file.close();
        // On a worker thread, as the pipeline runs it.
        std::unique_ptr<QThread> worker(QThread::create([&] { cpp->fix(m_source); }));
        worker->start();
        QVERIFY(worker->wait(60000));
        QCOMPARE(fileText(m_source),
                 QStringLiteral("int main() {\n        int x = 1;\n        return x;\n}\n"));
        QCOMPARE(fixCount(QStringLiteral("C++")), 1);
        QCOMPARE(LogFile::text(), QString());
    }
};

SPRUCER_TEST_MAIN(TestFixers)
#include "TestFixers.moc"
