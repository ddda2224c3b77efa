// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/CppSprucer.h"
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/KotlinSprucer.h"
#include "core/formatting/ObjectiveCSprucer.h"
#include "core/formatting/SwiftSprucer.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/Console.h"
#include "core/support/SprucerLogger.h"
#include "support/FixerProbe.h"
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
using namespace FixerProbe;

namespace {

QString toolOf(const QString &language)
{
    if (language == u"Swift")
        return SwiftSprucer::executableName;
    return language == u"Kotlin" ? KotlinSprucer::executableName
                                 : ClangFormatSprucer::executableName;
}

std::shared_ptr<ToolFixer> makeFixer(const QString &language, const ToolResolver &resolver,
                                     const QUrl &config, std::chrono::milliseconds timeout = 30s)
{
    if (language == u"Swift")
        return std::make_shared<SwiftSprucer>(language, resolver, config, timeout);
    if (language == u"Kotlin")
        return std::make_shared<KotlinSprucer>(language, resolver, config, timeout);
    if (language == u"Objective-C")
        return std::make_shared<ObjectiveCSprucer>(language, resolver, config, timeout);
    return std::make_shared<CppSprucer>(language, resolver, config, timeout);
}

void row(const char *name, const char *language, const char *script, bool counted,
         const QString &logged, const QStringList &console = {})
{
    QTest::newRow(name) << QString::fromUtf8(language) << QString::fromUtf8(script) << counted
                        << logged << console;
}

} // namespace

class TestFixers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_tools = m_root.filePath(QStringLiteral("tools"));
    QString m_source = m_root.filePath(QStringLiteral("my sources/Main file.src"));
    // A literal "%41" must reach the tool as it is on disk, not decoded a second time to "A".
    QUrl m_config = QUrl::fromLocalFile(m_root.filePath(QStringLiteral("App Support/50%41/c.yml")));
    QStringList m_console;

    ToolResolver resolver() const { return ToolResolver({m_tools}, false); }
    QString path(const QString &name) const { return m_root.filePath(name); }
    QUrl source() const { return QUrl::fromLocalFile(m_source); }

    std::shared_ptr<ToolFixer> standIn(const QString &language, const QString &body,
                                       std::chrono::milliseconds timeout = 30s)
    {
        StandInTool::write(m_tools, toolOf(language), body);
        return makeFixer(language, resolver(), m_config, timeout);
    }

private Q_SLOTS:
    void initTestCase()
    {
        Console::setSink([this](const QString &line) { m_console.append(line); });
        QDir().mkpath(path(QStringLiteral("my sources")));
    }

    void cleanupTestCase() { Console::setSink({}); }

    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
        CodeFixStatistics::shared().setDailyFixes({});
        m_console.clear();
        QDir(m_tools).removeRecursively();
        QFile source(m_source);
        QVERIFY(source.open(QIODevice::WriteOnly | QIODevice::Truncate));
        source.write("int  main( ){}\n");
    }

    void eachToolGetsItsArgumentsAndSuccessIsCounted_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("arguments");
        const QString config = m_config.toLocalFile();
        const QStringList clang = {QStringLiteral("-i"), u"-style=file:" + config, m_source};
        QTest::newRow("C++") << QStringLiteral("C++") << clang;
        QTest::newRow("Objective-C") << QStringLiteral("Objective-C") << clang;
        QTest::newRow("Kotlin") << QStringLiteral("Kotlin")
                                << QStringList({QStringLiteral("--format"),
                                                u"--editorconfig=" + config, m_source});
        QTest::newRow("Swift") << QStringLiteral("Swift")
                               << QStringList({QStringLiteral("--config"), config,
                                               QStringLiteral("--fix"), QStringLiteral("--format"),
                                               m_source});
    }

    void eachToolGetsItsArgumentsAndSuccessIsCounted()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, arguments);
        const QString record = path(QStringLiteral("arguments"));
        const auto fixer = standIn(language, StandInTool::recordArguments(record) +
                                                 u"printf 'int main() {}\\n' > \"$file\"");
        QCOMPARE(fixer->toolPath(), m_tools + u'/' + toolOf(language));
        fixer->fix(source());

        QCOMPARE(StandInTool::readLines(record), arguments);
        QCOMPARE(m_console, QStringList(u"Run Fix " + source().toString(QUrl::FullyEncoded)));
        QVERIFY(m_console.constFirst().endsWith(QStringLiteral("/my%20sources/Main%20file.src")));
        QCOMPARE(fileText(m_source), QStringLiteral("int main() {}\n"));
        QTRY_COMPARE(fixCount(language), 1);
        QCOMPARE(logText(), QString());
    }

    void standardErrorIsJudgedPerTool_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QStringList>("console"); // after "Run Fix"

        row("SwiftLint correcting", "Swift",
            R"(printf "Correcting '%s' (1/1)\nDone correcting 1 file!\n" "$file" >&2)", true, {});
        row("SwiftLint silent", "Swift", "", true, {});
        row("SwiftLint complaint", "Swift", "echo 'No config' >&2", false,
            QStringLiteral("SwiftLint error: No config\n"));
        row("SwiftLint lower case", "Swift", "echo correcting >&2", false,
            QStringLiteral("SwiftLint error: correcting\n"));
        row("clang-format warning", "C++", "echo 'warning: odd key' >&2; exit 0", false,
            QStringLiteral("clang-format error: warning: odd key\n"));
        // Bytes that are not UTF-8 are a complaint all the same.
        row("clang-format bytes", "Objective-C", R"(printf '\377 bad\n' >&2)", false,
            QStringLiteral("clang-format error: \uFFFD bad\n"));
        row("ktlint complaint", "Kotlin", "echo 'Main.kt:1:1: Blank line' >&2; echo 'Summary: 1'",
            false, {},
            {QStringLiteral("ktlint error: Main.kt:1:1: Blank line\n"),
             QStringLiteral("Summary: 1\n")});
        row("ktlint report", "Kotlin", "echo 'Summary: 0'", true, {});
    }

    void standardErrorIsJudgedPerTool()
    {
        QFETCH(QString, language);
        QFETCH(QString, script);
        QFETCH(bool, counted);
        QFETCH(QString, logged);
        QFETCH(QStringList, console);
        // The file is rewritten each time: a complaint fails the run even so.
        standIn(language, u"printf 'formatted\\n' > \"$file\"\n" + script)->fix(source());

        QCOMPARE(fileText(m_source), QStringLiteral("formatted\n"));
        QCOMPARE(m_console.mid(1), console);
        const QString log = logText();
        QVERIFY2(logged.isEmpty() ? log.isEmpty() : log.endsWith(u"] " + logged + u'\n'),
                 qPrintable(log));
        QCoreApplication::processEvents();
        QCOMPARE(fixCount(language), counted ? 1 : 0);
    }

    void missingToolIsLoggedAndPickedUpOnceInstalled()
    {
        const QString first = path(QStringLiteral("first"));
        const auto fixer = std::make_shared<SwiftSprucer>(
            QStringLiteral("Swift"), ToolResolver({first, m_tools}, false), m_config);
        QCOMPARE(fixer->swiftLintBinaryPath(), first + QStringLiteral("/swiftlint"));
        fixer->fix(source());
        QVERIFY(logText().contains(QStringLiteral("] Failed to run SwiftLint: ")));
        QCOMPARE(fixCount(QStringLiteral("Swift")), 0);

        StandInTool::write(m_tools, QStringLiteral("swiftlint"), QString());
        QCOMPARE(fixer->swiftLintBinaryPath(), m_tools + QStringLiteral("/swiftlint"));
        fixer->fix(source());
        QTRY_COMPARE(fixCount(QStringLiteral("Swift")), 1);
    }

    void hungToolIsKilledWithItsChildren()
    {
        const QString pidFile = path(QStringLiteral("child.pid"));
        const auto fixer =
            standIn(QStringLiteral("C++"),
                    QStringLiteral("sleep 600 &\necho $! > '%1'\nwait").arg(pidFile), 300ms);
        QElapsedTimer clock;
        clock.start();
        fixer->fix(source());
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(logText().endsWith(QStringLiteral("] Failed to run clang-format: The tool did not "
                                                  "finish within 0.3 s and was stopped.\n")));
        QCoreApplication::processEvents();
        QCOMPARE(fixCount(QStringLiteral("C++")), 0);
        // The tool's child went with it (or is dead, waiting for its new parent to reap it).
        const QString stat = u"/proc/" + fileText(pidFile).trimmed() + u"/stat";
        QTRY_VERIFY(!QFile::exists(stat) || fileText(stat).section(u' ', 2, 2) == u"Z");
    }

    void floodsOnBothChannelsDoNotBlockTheTool()
    {
        standIn(QStringLiteral("Swift"), QStringLiteral("head -c 4000000 /dev/zero | tr '\\0' o\n"
                                                        "echo Correcting >&2\n"
                                                        "head -c 4000000 /dev/zero >&2"))
            ->fix(source());
        QTRY_COMPARE(fixCount(QStringLiteral("Swift")), 1);
        QCOMPARE(logText(), QString());
    }

    void fixesOfOneFileNeverOverlap()
    {
        const QString runs = path(QStringLiteral("runs")),
                      overlaps = path(QStringLiteral("overlaps"));
        const auto fixer = standIn(QStringLiteral("Kotlin"),
                                   QStringLiteral("mkdir \"$file.lock\" || echo x >> '%1'\n"
                                                  "sleep 0.05; rmdir \"$file.lock\"; echo >> '%2'")
                                       .arg(overlaps, runs));
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back(QThread::create([&] {
                for (int i = 0; i < 3; ++i)
                    fixer->fix(source());
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));
        QCOMPARE(StandInTool::readLines(runs).size(), 9);
        QVERIFY(!QFile::exists(overlaps));
        QTRY_COMPARE(fixCount(QStringLiteral("Kotlin")), 9);
    }

    void releasedFixerSkipsItsWaitingFix()
    {
        const QString record = path(QStringLiteral("released"));
        auto fixer = standIn(QStringLiteral("C++"), StandInTool::recordArguments(record));
        QSemaphore holding, release;
        std::unique_ptr<QThread> holder(QThread::create([&] {
            FileCoordinator::shared().coordinate(source(), [&](const std::optional<Error> &) {
                holding.release();
                release.acquire();
            });
        }));
        holder->start();
        QVERIFY(holding.tryAcquire(1, 10000));
        std::unique_ptr<QThread> fixing(
            QThread::create([raw = fixer.get(), this] { raw->fix(source()); }));
        fixing->start();
        // "Run Fix" is written once the fix holds its weak reference.
        QTRY_COMPARE(m_console.size(), 1);
        fixer.reset();
        release.release();
        QVERIFY(holder->wait(10000) && fixing->wait(10000));
        QVERIFY(!QFile::exists(record));
    }

    void refusedCoordinationIsLoggedAndNoToolRuns()
    {
        const QString record = path(QStringLiteral("refused"));
        const QUrl remote(QStringLiteral("https://example.com/Main.kt"));
        // ktlint would go on, but handed no path it formats the whole working directory.
        for (const QString &language : {QStringLiteral("Kotlin"), QStringLiteral("Swift")})
            standIn(language, StandInTool::recordArguments(record))->fix(remote);
        QVERIFY(!QFile::exists(record));
        QCOMPARE(logText().count(QStringLiteral("] ⚠️ File coordination error: "
                                                "\"https://example.com/Main.kt\" is not a local "
                                                "file.\n")),
                 2);
    }
};

SPRUCER_TEST_MAIN(TestFixers)
#include "TestFixers.moc"
