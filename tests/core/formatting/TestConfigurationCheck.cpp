// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigurationCheck.h"
#include "core/formatting/ToolProfile.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Kind = SupportedFileExtension;
using State = ConfigurationCheckResult::State;

namespace {

constexpr auto kPause = 20ms;

// ktlint as documented: an .editorconfig line that is no section or comment and has no "=" after
// its first word stops it with the parser's exception, which places the line in the file.
// Properties it does not know pass in silence.
const QString kKtlint = uR"sh({ printf '%s\n' "$@"; pwd; } > "$RECORD"
config="${file#--editorconfig=}"
q="'"
n=0
while IFS= read -r line || [ -n "$line" ]; do
  n=$((n + 1))
  case "$line" in ''|'#'*|';'*|'['*) continue ;; esac
  name="${line%%[ =]*}"
  case "$(printf '%s' "${line#"$name"}" | tr -d ' ')" in '='*) continue ;; esac
  echo "Exception in thread \"main\" java.lang.AssertionError: An error occurred while reading the ${q}.editorconfig${q}:" >&2
  printf "path:%s:%d:%d: Equals sign ${q}=${q} missing after property name ${q}%s${q}\n" "$config" "$n" $((${#name} + 2)) "$name" >&2
  printf '\tat org.ec4j.core.parser.EditorConfigParser.readProperty\n' >&2
  exit 1
done < "$config")sh"_s;

// SwiftLint as documented: YAML it cannot read is fatal; unknown keys are a warning on standard
// error; findings in the (empty) input go to standard output with status 2.
const QString kSwiftLint = uR"sh(printf '%s\n' "$@" > "$RECORD"
if grep -q "$(printf '\t')" "$file"; then
  echo "Could not read configuration: Error parsing YAML: found a tab character" >&2
  ulimit -c 0
  kill -ABRT $$
fi
unknown=$(grep -o '^[a-z_]*:' "$file" | tr -d : | grep -vxE 'disabled_rules|opt_in_rules|line_length|file_header')
if [ -n "$unknown" ]; then echo "warning: Configuration contains invalid keys $unknown." >&2; fi
if grep -q '^file_header:' "$file"; then
  echo "<stdin>:1:1: error: File Header Violation: Header comments should be consistent (file_header)"
  exit 2
fi)sh"_s;

// Counts its runs with the text it was given, waits for the gate, and answers with that text.
const QString kCounting = uR"sh(config="${file#--editorconfig=}"
echo $$ > "$PID"
cat "$config" >> "$RUNS"; echo >> "$RUNS"
while [ ! -e "$GATE" ]; do sleep 0.01; done
echo "path:$config:1:1: saw $(cat "$config")" >&2
exit 1)sh"_s;

ConfigurationCheckResult answer(ConfigurationCheck &check, Kind kind, const QString &text)
{
    QSignalSpy spy(&check, &ConfigurationCheck::checked);
    check.request(kind, text);
    if (!spy.wait(30000))
        return {State::notChecked, {}, u"<no answer>"_s, std::nullopt};
    return spy.takeFirst().at(0).value<ConfigurationCheckResult>();
}

void touch(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
}

bool processIsGone(const QString &pidFile)
{
    const QStringList lines = StandInTool::readLines(pidFile);
    return !lines.isEmpty() && ::kill(pid_t(lines.first().toInt()), 0) != 0;
}

} // namespace

// Spelled out when a comparison fails.
char *toString(const ConfigurationCheckResult &result)
{
    const QString line = result.line ? QString::number(*result.line) : u"-"_s;
    return QTest::toString(
        u"%1 %2 [%3] line %4"_s.arg(int(result.state)).arg(result.toolName, result.message, line));
}

// The check of a configuration's text, on the real clang-format and on stand-ins that act as
// ktlint and SwiftLint do at the command line the check uses.
class TestConfigurationCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_tools = m_root.filePath(u"tools"_s);
    QString m_temp = m_root.filePath(u"temp"_s);
    QString m_record = m_root.filePath(u"record"_s);
    QString m_runs = m_root.filePath(u"runs"_s);
    QString m_gate = m_root.filePath(u"gate"_s);
    QString m_pid = m_root.filePath(u"pid"_s);

    std::unique_ptr<ConfigurationCheck> standInCheck(Kind kind, const QString &body)
    {
        StandInTool::write(m_tools, ToolProfile::of(kind).executable, body);
        return std::make_unique<ConfigurationCheck>(ToolResolver({m_tools}, false), kPause);
    }

    QStringList leftovers() const
    {
        return QDir(m_temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The check's private folders land here, where the test can see that they go.
        QDir().mkpath(m_temp);
        qputenv("TMPDIR", QFile::encodeName(m_temp));
        qputenv("RECORD", QFile::encodeName(m_record));
        qputenv("RUNS", QFile::encodeName(m_runs));
        qputenv("GATE", QFile::encodeName(m_gate));
        qputenv("PID", QFile::encodeName(m_pid));
    }

    void init()
    {
        QDir(m_tools).removeRecursively();
        for (const QString &path : {m_record, m_runs, m_gate, m_pid})
            QFile::remove(path);
    }

    void clangFormatJudgesTheStyle()
    {
        ConfigurationCheck check(ToolResolver({}, true), kPause);
        const ConfigurationCheckResult valid =
            answer(check, Kind::cpp, u"BasedOnStyle: google\nIndentWidth: 4\n"_s);
        QCOMPARE(valid, (ConfigurationCheckResult{State::accepted, u"clang-format"_s, {}, {}}));

        const ConfigurationCheckResult unknown = answer(
            check, Kind::cpp, u"BasedOnStyle: LLVM\nIndentWidth: 4\nFoo: 1\nColumnLimit: 80\n"_s);
        QCOMPARE(unknown, (ConfigurationCheckResult{State::refused, u"clang-format"_s,
                                                    u"Line 3: unknown key 'Foo'"_s, 3}));

        const ConfigurationCheckResult brokenYaml =
            answer(check, Kind::cpp, u"BasedOnStyle: LLVM\nIndentWidth: [4\nColumnLimit: 80\n"_s);
        QCOMPARE(brokenYaml.state, State::refused);
        QVERIFY2(brokenYaml.line.has_value(), qPrintable(brokenYaml.message));

        // The sample file's name picks the language's section of the style.
        const QString objectiveCOnly = u"---\nLanguage: ObjC\nIndentWidth: 8\n...\n"_s;
        QCOMPARE(answer(check, Kind::objectivec, objectiveCOnly).state, State::accepted);
        QCOMPARE(answer(check, Kind::cpp, objectiveCOnly).message,
                 u"The configuration has no style for C++."_s);
        QCOMPARE(answer(check, Kind::cpp, QString()).message,
                 u"Error reading .clang-format: Invalid argument"_s);
        QCOMPARE(leftovers(), QStringList());
    }

    void ktlintReadsTheEditorConfig()
    {
        const auto check = standInCheck(Kind::kotlin, kKtlint);
        const QString valid = u"root = true\n\n[*.{kt,kts}]\nindent_size = 2\n"_s;
        QCOMPARE(answer(*check, Kind::kotlin, valid).state, State::accepted);
        // The arguments, then the folder it ran in: the check's own, so no .editorconfig above
        // our working folder has a say.
        const QStringList recorded = StandInTool::readLines(m_record);
        QCOMPARE(recorded.size(), 3);
        QCOMPARE(recorded.at(0), u"--stdin"_s);
        QVERIFY(recorded.at(1).startsWith(u"--editorconfig="_s + m_temp));
        QVERIFY(recorded.at(2).startsWith(m_temp));

        const ConfigurationCheckResult broken = answer(
            *check, Kind::kotlin, u"[*.kt]\nindent_size = 2\nij_http request_wrap = normal\n"_s);
        QCOMPARE(broken,
                 (ConfigurationCheckResult{
                     State::refused, u"ktlint"_s,
                     u"Line 3: Equals sign '=' missing after property name 'ij_http'"_s, 3}));
        QCOMPARE(leftovers(), QStringList());
    }

    void swiftLintLoadsTheConfiguration()
    {
        const auto check = standInCheck(Kind::swift, kSwiftLint);
        QCOMPARE(answer(*check, Kind::swift, u"disabled_rules:\n  - todo\n"_s).state,
                 State::accepted);
        const QStringList arguments = StandInTool::readLines(m_record);
        QCOMPARE(arguments.mid(0, 4),
                 (QStringList{u"lint"_s, u"--quiet"_s, u"--use-stdin"_s, u"--config"_s}));
        QVERIFY(arguments.value(4).endsWith(u"/.swiftlint.yml"_s));

        // Findings in the empty input are no fault of the configuration.
        QCOMPARE(answer(*check, Kind::swift, u"file_header:\n  required_string: x\n"_s).state,
                 State::accepted);
        const ConfigurationCheckResult unknown =
            answer(*check, Kind::swift, u"identation: 2\nline_length: 90\n"_s);
        QCOMPARE(unknown.state, State::refused);
        QCOMPARE(unknown.message, u"warning: Configuration contains invalid keys identation."_s);

        const ConfigurationCheckResult fatal =
            answer(*check, Kind::swift, u"disabled_rules:\n\t- todo\n"_s);
        QCOMPARE(fatal.state, State::refused);
        QVERIFY2(fatal.message.startsWith(u"Could not read configuration"_s),
                 qPrintable(fatal.message));
        QCOMPARE(leftovers(), QStringList());
    }

    void missingToolIsToldAndNeverRun()
    {
        const QString empty = m_root.filePath(u"empty"_s);
        QDir().mkpath(empty);
        ConfigurationCheck check(ToolResolver({empty}, false), kPause);
        const ConfigurationCheckResult missing = answer(check, Kind::swift, u"a: 1"_s);
        QCOMPARE(missing.state, State::toolMissing);
        QCOMPARE(missing.toolName, u"SwiftLint"_s);

        // Found missing once, the tool is not looked for again, let alone run.
        StandInTool::write(empty, u"swiftlint"_s, u"echo run >> \"$RUNS\""_s);
        QCOMPARE(answer(check, Kind::swift, u"a: 2"_s).state, State::toolMissing);
        QVERIFY(!QFile::exists(m_runs));
    }

    void checksCoalesceToTheLatestText()
    {
        const auto check = standInCheck(Kind::kotlin, kCounting);
        QSignalSpy spy(check.get(), &ConfigurationCheck::checked);
        touch(m_gate);
        for (const QString &text : {u"a = 1"_s, u"a = 2"_s, u"a = 3"_s})
            check->request(Kind::kotlin, text);
        QVERIFY(spy.wait());
        QCOMPARE(StandInTool::readLines(m_runs), QStringList{u"a = 3"_s});
        QCOMPARE(spy.takeFirst().at(0).value<ConfigurationCheckResult>().message,
                 u"Line 1: saw a = 3"_s);

        // Texts typed while a check runs make one more check, of the last of them.
        QFile::remove(m_gate);
        QFile::remove(m_runs);
        check->request(Kind::kotlin, u"b = 1"_s);
        QTRY_COMPARE(StandInTool::readLines(m_runs), QStringList{u"b = 1"_s});
        check->request(Kind::kotlin, u"b = 2"_s);
        check->request(Kind::kotlin, u"b = 3"_s);
        QElapsedTimer typed;
        typed.start();
        QTRY_VERIFY(typed.hasExpired(5 * kPause.count())); // the pause ends while it runs
        touch(m_gate);
        QVERIFY(spy.wait());
        QCOMPARE(StandInTool::readLines(m_runs), (QStringList{u"b = 1"_s, u"b = 3"_s}));
        QCOMPARE(spy.size(), 1); // nothing for "b = 1", which was answered first
        QCOMPARE(spy.takeFirst().at(0).value<ConfigurationCheckResult>().message,
                 u"Line 1: saw b = 3"_s);
        // No check of "b = 3" was left queued: the next text is the next run.
        QCOMPARE(answer(*check, Kind::kotlin, u"c = 1"_s).message, u"Line 1: saw c = 1"_s);
        QCOMPARE(StandInTool::readLines(m_runs), (QStringList{u"b = 1"_s, u"b = 3"_s, u"c = 1"_s}));
    }

    void hungToolIsKilledAtTheTimeLimit()
    {
        const auto check = standInCheck(Kind::kotlin, kCounting);
        check->setTimeLimit(300ms);
        const ConfigurationCheckResult result = answer(*check, Kind::kotlin, u"a = 1"_s);
        QCOMPARE(result, (ConfigurationCheckResult{State::notChecked, u"ktlint"_s,
                                                   u"ktlint did not answer within 0.3 s."_s,
                                                   std::nullopt}));
        QVERIFY(processIsGone(m_pid));
        QCOMPARE(leftovers(), QStringList());
    }

    void destroyingKillsTheCheckUnderWay()
    {
        auto check = standInCheck(Kind::kotlin, kCounting);
        check->request(Kind::kotlin, u"a = 1"_s);
        QTRY_VERIFY(QFile::exists(m_pid) && !StandInTool::readLines(m_pid).isEmpty());
        QElapsedTimer destroying;
        destroying.start();
        check.reset();
        QVERIFY2(destroying.elapsed() < 2000, qPrintable(QString::number(destroying.elapsed())));
        QVERIFY(processIsGone(m_pid));
        QCOMPARE(leftovers(), QStringList());
    }
};

SPRUCER_TEST_MAIN(TestConfigurationCheck)
#include "TestConfigurationCheck.moc"
