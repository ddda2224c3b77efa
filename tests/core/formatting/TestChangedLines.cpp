// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ChangedLines.h"
#include "core/formatting/ConfigManagerFactory.h"
#include "core/formatting/FileCoordinator.h"
#include "core/formatting/SprucerFactory.h"
#include "core/git/GitRules.h"
#include "core/model/CodeWatcherModel.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/TestGit.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>

using namespace Qt::StringLiterals;
using Kind = SupportedFileExtension;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) < 0)
        qFatal("cannot write %s", qPrintable(path));
}

// Two legacy functions, each badly formatted, committed; then the user edits the second.
struct Legacy
{
    Kind kind;
    QString name;
    QByteArray committed;
    QByteArray edited;
    QByteArray onlyEdited; // the tool's result for the edited function alone
    QByteArray whole;      // the tool's result for the whole edited file
};

Legacy legacyOf(Kind kind)
{
    if (kind == Kind::kotlin)
        return {kind,
                u"Main.kt"_s,
                "fun first()  =  1\n\nfun second()  =  2\n",
                "fun first()  =  1\n\nfun second()  =  3\n",
                "fun first()  =  1\n\nfun second() = 3\n",
                "fun first() = 1\n\nfun second() = 3\n"};
    return {kind,
            u"legacy.cpp"_s,
            "int first(int a){return a+1;}\n\nint second(int b){return b*2;}\n",
            "int first(int a){return a+1;}\n\nint second(int b){return b*3;}\n",
            "int first(int a){return a+1;}\n\nint second(int b) { return b * 3; }\n",
            "int first(int a) { return a + 1; }\n\nint second(int b) { return b * 3; }\n"};
}

} // namespace

// The rule that keeps, of a tool's result, the changes touching the user's lines, alone and on
// the road of a fix in real repositories, with the real clang-format and a ktlint stand-in.
class TestChangedLines : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_tools = m_root.filePath(u"tools"_s);
    FileCoordinator m_coordinator;
    std::unique_ptr<GitRules> m_git;
    QUuid m_watcher = QUuid::createUuid();

    std::shared_ptr<IFixer> fixer(Kind kind)
    {
        ConfigManagerFactory configurations{TestHome::settings()};
        const QUuid id = QUuid::createUuid();
        configurations.createConfig(id, u"BasedOnStyle: LLVM\n"_s, kind, u"mine"_s);
        ToolFixer::Environment environment;
        // ktlint's stand-in squeezes runs of spaces on every line, as the tool would.
        StandInTool::write(m_tools, u"ktlint"_s, u"sed -i 's/  */ /g' \"$file\""_s);
        environment.resolver =
            kind == Kind::kotlin ? ToolResolver({m_tools}, false) : ToolResolver({}, true);
        environment.coordinator = &m_coordinator;
        environment.git = m_git.get();
        CodeWatcherModel watcher = CodeWatcherModel::make(u"w"_s, {}, kind, id);
        watcher.id = m_watcher;
        return SprucerFactory(configurations, environment).makeFixer(watcher).value();
    }

    // A repository in `folder` holding the legacy file as committed; the file's path.
    QString committed(const QString &folder, const Legacy &legacy)
    {
        const QString file = folder + u"/src/"_s + legacy.name;
        writeFile(file, legacy.committed);
        if (!TestGit::run(folder, {u"init"_s, u"-q"_s}) ||
            !TestGit::run(folder, {u"add"_s, u"."_s}) ||
            !TestGit::run(folder, {u"commit"_s, u"-qm"_s, u"legacy"_s}))
            qFatal("cannot make the repository");
        return file;
    }

    static void addTools()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("clang-format") << Kind::cpp;
        QTest::newRow("ktlint") << Kind::kotlin;
    }

private Q_SLOTS:
    void init()
    {
        TestHome::current().reset();
        m_git = std::make_unique<GitRules>(TestHome::settings());
        m_git->options().set(m_watcher, {true, true});
    }

    void keepsTheToolsChangesThatTouchChangedLines_data()
    {
        QTest::addColumn<QByteArray>("baseline");
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("only the edited line's change")
            << QByteArray("a  1\n\nb  2\n\nc  3\n") << QByteArray("a  1\n\nb  9\n\nc  3\n")
            << QByteArray("a 1\n\nb 9\n\nc 3\n") << QByteArray("a  1\n\nb 9\n\nc  3\n");
        // A change of several lines that touches one changed line is taken whole.
        QTest::newRow("a run of lines taken whole")
            << QByteArray("x\nf(  a,\n  b)\ny\n") << QByteArray("x\nf(  a,\n  c)\ny\n")
            << QByteArray("x\nf(a, c)\ny\n") << QByteArray("x\nf(a, c)\ny\n");
        QTest::newRow("an added line") << QByteArray("a  1\n") << QByteArray("a  1\n\nb  2\n")
                                       << QByteArray("a 1\n\nb 2\n") << QByteArray("a  1\n\nb 2\n");
        QTest::newRow("an insertion beside a changed line")
            << QByteArray("a\nb\nc\n") << QByteArray("a\nB\nc\n") << QByteArray("a\nB\n\nc\n")
            << QByteArray("a\nB\n\nc\n");
        QTest::newRow("an insertion away from changed lines")
            << QByteArray("a\nb\nc\nd\n") << QByteArray("a\nb\nc\nD\n")
            << QByteArray("a\n\nb\nc\nD;\n") << QByteArray("a\nb\nc\nD;\n");
        QTest::newRow("nothing changed since the commit")
            << QByteArray("a  1\n") << QByteArray("a  1\n") << QByteArray("a 1\n")
            << QByteArray("a  1\n");
        QTest::newRow("a last line without its end")
            << QByteArray("a  1\n\nb  2") << QByteArray("a  1\n\nb  3")
            << QByteArray("a 1\n\nb 3\n") << QByteArray("a  1\n\nb 3\n");
        QTest::newRow("a new file")
            << QByteArray() << QByteArray("a  1\n") << QByteArray("a 1\n") << QByteArray("a 1\n");
        // Lines that repeat a great deal take the other way of lining the texts up.
        const auto blocks = [](const QByteArray &each, const QByteArray &middle) -> QByteArray {
            return each.repeated(250) + middle + each.repeated(249);
        };
        QTest::newRow("many repeated lines")
            << blocks("a  1\n\n", "a  1\n\n") << blocks("a  1\n\n", "b  2\n\n")
            << blocks("a 1\n\n", "b 2\n\n") << blocks("a  1\n\n", "b 2\n\n");
    }

    void keepsTheToolsChangesThatTouchChangedLines()
    {
        QFETCH(QByteArray, baseline);
        QFETCH(QByteArray, current);
        QFETCH(QByteArray, result);
        QFETCH(QByteArray, kept);
        QCOMPARE(ChangedLines::keep(current, result, baseline), kept);
    }

    void formatsOnlyTheEditedFunction_data() { addTools(); }

    void formatsOnlyTheEditedFunction()
    {
        QFETCH(Kind, kind);
        const Legacy legacy = legacyOf(kind);
        const QString file = committed(
            m_root.filePath(u"edited"_s + QString::fromLatin1(QTest::currentDataTag())), legacy);
        const std::shared_ptr<IFixer> made = fixer(kind);
        // Unchanged since HEAD: not even handed to the tool.
        QCOMPARE(made->fix(file).outcome, FixResult::Outcome::unchanged);
        QCOMPARE(readFile(file), legacy.committed);

        writeFile(file, legacy.edited);
        const FixResult fixed = made->fix(file);
        QCOMPARE(fixed.outcome, FixResult::Outcome::changed);
        QCOMPARE(readFile(file), legacy.onlyEdited);
        QCOMPARE(fixed.content, std::optional<QByteArray>(legacy.onlyEdited));
    }

    void formatsWholeFilesOutsideTheRule_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("logged"); // why, once; empty when nothing is odd
        for (const Kind kind : {Kind::cpp, Kind::kotlin}) {
            const char *tool = kind == Kind::cpp ? "clang-format" : "ktlint";
            QTest::addRow("%s, untracked", tool) << kind << u"untracked"_s << QString();
            QTest::addRow("%s, no commits yet", tool)
                << kind << u"unborn"_s << u"the repository has no commits yet"_s;
            QTest::addRow("%s, renamed", tool)
                << kind << u"renamed"_s << u"not in the last commit (added or renamed since)"_s;
            QTest::addRow("%s, bare", tool)
                << kind << u"bare"_s << u"a bare repository has no work tree"_s;
            QTest::addRow("%s, broken", tool) << kind << u"broken"_s << u"cannot"_s;
            QTest::addRow("%s, detached HEAD", tool)
                << kind << u"detached"_s << u"HEAD is detached"_s;
            QTest::addRow("%s, submodule", tool)
                << kind << u"submodule"_s << u"the folder is a submodule"_s;
            QTest::addRow("%s, option off", tool) << kind << u"off"_s << QString();
        }
    }

    void formatsWholeFilesOutsideTheRule()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, state);
        QFETCH(QString, logged);
        const Legacy legacy = legacyOf(kind);
        const QString folder =
            m_root.filePath(u"whole "_s + QString::fromLatin1(QTest::currentDataTag()));
        QString file = folder + u"/src/"_s + legacy.name;
        if (state == u"untracked") {
            committed(folder, legacyOf(kind == Kind::cpp ? Kind::kotlin : Kind::cpp));
        } else if (state == u"unborn") {
            writeFile(file, legacy.committed);
            QVERIFY(TestGit::run(folder, {u"init"_s, u"-q"_s}) &&
                    TestGit::run(folder, {u"add"_s, u"."_s}));
        } else if (state == u"renamed") {
            committed(folder, legacy);
            const QString moved = folder + u"/src/moved_"_s + legacy.name;
            QVERIFY(TestGit::run(folder, {u"mv"_s, file, moved}));
            file = moved;
        } else if (state == u"bare") {
            QVERIFY(TestGit::run(m_root.path(), {u"init"_s, u"-q"_s, u"--bare"_s, folder}));
        } else if (state == u"broken") {
            committed(folder, legacy);
            writeFile(folder + u"/.git/HEAD"_s, "ref: refs/heads/\n");
        } else if (state == u"detached") {
            committed(folder, legacy);
            QVERIFY(TestGit::run(folder, {u"checkout"_s, u"-q"_s, u"--detach"_s}));
        } else if (state == u"submodule") {
            const QString library = folder + u" library"_s;
            committed(library, legacy);
            QVERIFY(QDir().mkpath(folder) && TestGit::run(folder, {u"init"_s, u"-q"_s}));
            QVERIFY(TestGit::run(folder, {u"-c"_s, u"protocol.file.allow=always"_s, u"submodule"_s,
                                          u"add"_s, u"-q"_s, library, u"lib"_s}));
            QVERIFY(TestGit::run(folder, {u"commit"_s, u"-qm"_s, u"with a library"_s}));
            file = folder + u"/lib/src/"_s + legacy.name;
        } else if (state == u"off") {
            committed(folder, legacy);
            m_git->options().set(m_watcher, {false, true});
        }
        writeFile(file, legacy.edited);
        LogFile::clear();
        const std::shared_ptr<IFixer> made = fixer(kind);
        QCOMPARE(made->fix(file).outcome, FixResult::Outcome::changed);
        QCOMPARE(readFile(file), legacy.whole);
        // A second save says nothing more.
        writeFile(file, legacy.edited);
        QCOMPARE(made->fix(file).outcome, FixResult::Outcome::changed);
        const QStringList why = LogFile::messages().filter(u"Formatting whole files in"_s);
        if (logged.isEmpty()) {
            QCOMPARE(why, QStringList());
        } else {
            QCOMPARE(why.size(), 1);
            QVERIFY2(why.first().contains(logged), qPrintable(why.first()));
        }
    }
};

SPRUCER_TEST_MAIN(TestChangedLines)
#include "TestChangedLines.moc"
