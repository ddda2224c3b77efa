// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/CodeCounterModel.h"
#include "support/SeededHome.h"
#include "support/TestGit.h"
#include "support/TestMain.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The real program's subcommand, in the home, with `input` on its standard input.
Run sprucer(const SeededHome &home, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    home.start(process, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QJsonArray listed(const SeededHome &home, const QString &what)
{
    const Run run = sprucer(home, {what, u"list"_s, u"--json"_s});
    return QJsonDocument::fromJson(run.out.toUtf8()).array();
}

QStringList namesOf(const QJsonArray &array)
{
    QStringList names;
    for (const QJsonValue &each : array)
        names.append(each[u"name"_s].toString());
    return names;
}

QByteArray storedSettings(const SeededHome &home)
{
    return SeededHome::readAll(home.path(u"config/Velmora/Sprucer.conf"_s));
}

} // namespace

// The command line changes the stores the window and the agent read, and refuses bad input
// without changing anything.
class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changesTheStoresAndRefusesBadInputWithoutChangingThem()
    {
        const SeededHome home;
        SeededHome::writeFile(home.path(u"style"_s), "BasedOnStyle: Google\n");
        QCOMPARE(sprucer(home, {u"config"_s, u"add"_s, u"Google"_s, u"--language"_s, u"cpp"_s,
                                u"--file"_s, home.path(u"style"_s)})
                     .status,
                 0);
        QCOMPARE(sprucer(home,
                         {u"config"_s, u"add"_s, u"Kotlin"_s, u"--language"_s, u"kotlin"_s,
                          u"--stdin"_s},
                         "root = true\n")
                     .status,
                 0);
        QCOMPARE(namesOf(listed(home, u"config"_s)),
                 (QStringList{u"LLVM 4"_s, u"Google"_s, u"Kotlin"_s}));

        QDir().mkpath(home.path(u"other"_s));
        const Run added =
            sprucer(home, {u"watcher"_s, u"add"_s, home.path(u"other"_s), u"--language"_s, u"cpp"_s,
                           u"--config"_s, u"Google"_s, u"--off"_s});
        QCOMPARE(added.status, 0);
        const QJsonArray watchers = listed(home, u"watcher"_s);
        QCOMPARE(namesOf(watchers), (QStringList{u"Project"_s, u"other"_s}));
        QCOMPARE(watchers[1][u"id"_s].toString(), added.out.trimmed());
        QCOMPARE(watchers[1][u"activated"_s].toBool(), false);
        QCOMPARE(watchers[1][u"configuration"_s][u"name"_s].toString(), u"Google"_s);

        QCOMPARE(sprucer(home, {u"watcher"_s, u"set"_s, u"other"_s, u"--on"_s, u"--name"_s,
                                u"Other"_s, u"--config"_s, u"LLVM 4"_s})
                     .status,
                 0);
        QCOMPARE(listed(home, u"watcher"_s)[1][u"activated"_s].toBool(), true);
        QCOMPARE(listed(home, u"watcher"_s)[1][u"configuration"_s][u"name"_s].toString(),
                 u"LLVM 4"_s);

        // Each mistake: status 2, one line that says what is wrong, and nothing stored.
        const QByteArray before = storedSettings(home);
        const QList<QStringList> mistakes{
            {u"config"_s, u"add"_s, u"Google"_s, u"--language"_s, u"cpp"_s, u"--file"_s,
             home.path(u"style"_s)},
            {u"config"_s, u"add"_s, u"X"_s, u"--language"_s, u"rust"_s, u"--stdin"_s},
            {u"config"_s, u"add"_s, u"X"_s, u"--language"_s, u"cpp"_s, u"--file"_s,
             home.path(u"missing"_s)},
            {u"config"_s, u"remove"_s, u"LLVM 4"_s}, // the watchers use it
            {u"watcher"_s, u"add"_s, home.path(u"missing"_s), u"--language"_s, u"cpp"_s,
             u"--config"_s, u"Google"_s},
            {u"watcher"_s, u"add"_s, home.path(u"other"_s), u"--language"_s, u"swift"_s,
             u"--config"_s, u"Google"_s}, // a C++ configuration
            {u"watcher"_s, u"add"_s, home.path(u"other"_s), u"--language"_s, u"cpp"_s,
             u"--config"_s, u"Google"_s}, // already watched
            {u"watcher"_s, u"remove"_s, u"nobody"_s},
            {u"watcher"_s, u"set"_s, u"Other"_s, u"--name"_s, u"Project"_s},
        };
        for (const QStringList &arguments : mistakes) {
            const Run run = sprucer(home, arguments);
            QVERIFY2(run.status == 2, qPrintable(arguments.join(u' ')));
            QVERIFY2(run.err.count(u'\n') == 1 && run.err.startsWith(u"sprucer "_s),
                     qPrintable(run.err));
            QVERIFY(run.out.isEmpty());
        }
        QCOMPARE(storedSettings(home), before);

        QCOMPARE(sprucer(home, {u"watcher"_s, u"remove"_s, u"Other"_s}).status, 0);
        QCOMPARE(sprucer(home, {u"config"_s, u"remove"_s, u"Google"_s}).status, 0);
        QCOMPARE(namesOf(listed(home, u"config"_s)), (QStringList{u"LLVM 4"_s, u"Kotlin"_s}));
        QCOMPARE(namesOf(listed(home, u"watcher"_s)), QStringList{u"Project"_s});
    }

    // With the agent running the change goes through it: a new watcher formats the next save at
    // once, and a removed one is gone from the agent's list too.
    void aChangeWhileTheAgentRunsTakesEffectAtOnce()
    {
        const SeededHome home;
        QProcess agent;
        home.start(agent, {u"--headless"_s});
        QTRY_VERIFY_WITH_TIMEOUT(agent.canReadLine(), 10000);

        const QString folder = home.path(u"second"_s);
        QDir().mkpath(folder);
        QCOMPARE(sprucer(home, {u"watcher"_s, u"add"_s, folder, u"--language"_s, u"cpp"_s,
                                u"--config"_s, u"LLVM 4"_s})
                     .status,
                 0);
        QVERIFY(SeededHome::writeFile(folder + u"/main.cpp"_s, SeededHome::unformatted));
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(folder + u"/main.cpp"_s),
                                  SeededHome::formatted, 15000);
        QCOMPARE(sprucer(home, {u"watcher"_s, u"set"_s, u"second"_s, u"--changed-lines"_s, u"on"_s})
                     .status,
                 0);
        QTRY_VERIFY(listed(home, u"watcher"_s)[1][u"changedLines"_s].toBool());

        QCOMPARE(sprucer(home, {u"watcher"_s, u"remove"_s, u"second"_s}).status, 0);
        QTRY_COMPARE(namesOf(listed(home, u"watcher"_s)), QStringList{u"Project"_s});
        QVERIFY(SeededHome::terminate(agent) >= 0);
        QCOMPARE(namesOf(listed(home, u"watcher"_s)), QStringList{u"Project"_s});
    }

    // `check` tells by its status whether a tree is formatted and changes nothing; `format`
    // formats and counts as the window does; both with the real clang-format.
    void checkAndFormatATreeWithTheRealFormatter()
    {
        const SeededHome home;
        const QString src = home.project() + u"/src"_s;
        QVERIFY(SeededHome::writeFile(src + u"/clean.cpp"_s, SeededHome::formatted));
        QVERIFY(SeededHome::writeFile(src + u"/messy.cpp"_s, SeededHome::unformatted));
        QVERIFY(SeededHome::writeFile(src + u"/notes.txt"_s, SeededHome::unformatted));

        const Run check = sprucer(home, {u"check"_s, u"--json"_s});
        QCOMPARE(check.status, 1);
        QStringList changed;
        for (const QString &line : check.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject file = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(file[u"watcher"_s].toString(), u"Project"_s);
            QVERIFY(file[u"error"_s].isNull());
            if (file[u"changed"_s].toBool())
                changed.append(file[u"path"_s].toString());
        }
        QCOMPARE(changed, QStringList{src + u"/messy.cpp"_s});
        QCOMPARE(SeededHome::readAll(src + u"/messy.cpp"_s), SeededHome::unformatted);
        const Run diff = sprucer(home, {u"check"_s, u"--diff"_s, src + u"/messy.cpp"_s});
        QCOMPARE(diff.status, 1);
        QVERIFY2(diff.out.contains(u"+    return x;"_s), qPrintable(diff.out));

        // Outside every watcher a configuration must be named.
        const QString elsewhere = home.path(u"elsewhere"_s);
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(SeededHome::writeFile(elsewhere + u"/a.cpp"_s, SeededHome::formatted));
        QCOMPARE(sprucer(home, {u"check"_s, elsewhere}).status, 2);
        QCOMPARE(sprucer(home, {u"check"_s, elsewhere, u"--config"_s, u"LLVM 4"_s}).status, 0);

        const Run format = sprucer(home, {u"format"_s});
        QCOMPARE(format.status, 0);
        QCOMPARE(format.out, u"2 checked · 1 changed · 0 failed\n"_s);
        QCOMPARE(SeededHome::readAll(src + u"/messy.cpp"_s), SeededHome::formatted);
        QCOMPARE(home.storedCounts(),
                 (QList<CodeCounterModel>{{QUuid::fromString(SeededHome::watcherId), 1}}));
        QCOMPARE(sprucer(home, {u"check"_s}).status, 0);
        QCOMPARE(sprucer(home, {u"check"_s}).status, 0); // as the formatted files it knows
    }

    // The git options: off for a watcher stored before them, "skip ignored" on for a new one,
    // set from the command line; then `format` leaves alone what git ignores and what did not
    // change since HEAD, and `check --staged` reads what the commit will hold.
    void gitOptionsFromTheCommandLine()
    {
        const SeededHome home;
        const QString project = home.project();
        QVERIFY(SeededHome::writeFile(project + u"/src/legacy.cpp"_s, SeededHome::unformatted));
        QVERIFY(SeededHome::writeFile(project + u"/.gitignore"_s, "build/\n"));
        QVERIFY(TestGit::run(project, {u"init"_s, u"-q"_s}) &&
                TestGit::run(project, {u"add"_s, u"."_s}) &&
                TestGit::run(project, {u"commit"_s, u"-qm"_s, u"legacy"_s}));
        QVERIFY(QDir().mkpath(project + u"/build"_s));
        QVERIFY(
            SeededHome::writeFile(project + u"/build/generated.cpp"_s, SeededHome::unformatted));
        QVERIFY(SeededHome::writeFile(project + u"/src/new.cpp"_s, SeededHome::unformatted));

        QCOMPARE(listed(home, u"watcher"_s)[0][u"changedLines"_s].toBool(), false);
        QCOMPARE(listed(home, u"watcher"_s)[0][u"respectGitignore"_s].toBool(), false);
        QDir().mkpath(home.path(u"other"_s));
        QCOMPARE(sprucer(home, {u"watcher"_s, u"add"_s, home.path(u"other"_s), u"--language"_s,
                                u"cpp"_s, u"--config"_s, u"LLVM 4"_s})
                     .status,
                 0);
        QCOMPARE(listed(home, u"watcher"_s)[1][u"respectGitignore"_s].toBool(), true);
        QCOMPARE(listed(home, u"watcher"_s)[1][u"changedLines"_s].toBool(), false);
        QCOMPARE(
            sprucer(home, {u"watcher"_s, u"set"_s, u"Project"_s, u"--changed-lines"_s, u"maybe"_s})
                .status,
            2);
        QCOMPARE(sprucer(home, {u"watcher"_s, u"set"_s, u"Project"_s, u"--changed-lines"_s, u"on"_s,
                                u"--respect-gitignore"_s, u"on"_s})
                     .status,
                 0);
        QCOMPARE(listed(home, u"watcher"_s)[0][u"changedLines"_s].toBool(), true);
        QCOMPARE(listed(home, u"watcher"_s)[0][u"respectGitignore"_s].toBool(), true);
        QVERIFY(sprucer(home, {u"watcher"_s, u"list"_s})
                    .out.contains(u"[only changed lines]  [skips git-ignored files]"_s));

        const Run format = sprucer(home, {u"format"_s});
        QCOMPARE(format.status, 0);
        QCOMPARE(SeededHome::readAll(project + u"/src/new.cpp"_s), SeededHome::formatted);
        QCOMPARE(SeededHome::readAll(project + u"/src/legacy.cpp"_s), SeededHome::unformatted);
        QCOMPARE(SeededHome::readAll(project + u"/build/generated.cpp"_s), SeededHome::unformatted);

        // The index, not the working file: staged messy, then staged clean with a messy file.
        QVERIFY(SeededHome::writeFile(project + u"/src/staged.cpp"_s, SeededHome::unformatted));
        QVERIFY(TestGit::run(project, {u"add"_s, u"src/staged.cpp"_s}));
        QVERIFY(SeededHome::writeFile(project + u"/src/staged.cpp"_s, SeededHome::formatted));
        QProcess check;
        check.setWorkingDirectory(project);
        home.start(check, {u"check"_s, u"--staged"_s});
        QVERIFY(check.waitForFinished(30000));
        QCOMPARE(check.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(check.readAllStandardOutput()), u"src/staged.cpp\n"_s);

        QVERIFY(TestGit::run(project, {u"add"_s, u"src/staged.cpp"_s}));
        QVERIFY(SeededHome::writeFile(project + u"/src/staged.cpp"_s, SeededHome::unformatted));
        check.start();
        QVERIFY(check.waitForFinished(30000));
        QCOMPARE(check.exitCode(), 0);
    }

    // A fix of the agent, listed, shown and taken back from the command line: the agent then
    // leaves the content put back alone, and formats the next real save.
    void undoesAnAgentsFixAndTheAgentLeavesItAlone()
    {
        const SeededHome home;
        QProcess agent;
        home.start(agent, {u"--headless"_s});
        QTRY_VERIFY_WITH_TIMEOUT(agent.canReadLine(), 10000);
        const QString messy = home.project() + u"/messy.cpp"_s;
        QVERIFY(SeededHome::writeFile(messy, SeededHome::unformatted));
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(messy), SeededHome::formatted, 15000);

        QTRY_VERIFY(!sprucer(home, {u"history"_s, u"--json"_s, messy}).out.isEmpty());
        const Run listed = sprucer(home, {u"history"_s, u"--json"_s, u"--limit"_s, u"1"_s, messy});
        const QJsonObject fix = QJsonDocument::fromJson(listed.out.toUtf8()).object();
        QCOMPARE(fix[u"path"_s].toString(), messy);
        QCOMPARE(fix[u"watcher"_s].toString(), u"Project"_s);
        QCOMPARE(fix[u"undone"_s].toBool(), false);
        const QString id = QString::number(fix[u"id"_s].toInteger());
        QVERIFY(sprucer(home, {u"history"_s, u"show"_s, id}).out.contains(u"+    return x;"_s));
        QCOMPARE(sprucer(home, {u"history"_s, u"show"_s, u"999"_s}).status, 2);

        QCOMPARE(sprucer(home, {u"undo"_s, id}).status, 0);
        QCOMPARE(SeededHome::readAll(messy), SeededHome::unformatted);
        // The agent formats saves in order: once a later one is formatted, the undo was seen.
        const QString later = home.project() + u"/later.cpp"_s;
        QVERIFY(SeededHome::writeFile(later, SeededHome::unformatted));
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(later), SeededHome::formatted, 15000);
        QCOMPARE(SeededHome::readAll(messy), SeededHome::unformatted);
        QCOMPARE(sprucer(home, {u"undo"_s, id}).status, 1);
        QCOMPARE(sprucer(home, {u"undo"_s, u"999"_s}).status, 2);
        QVERIFY(sprucer(home, {u"history"_s, messy}).out.contains(u"undone"_s));

        QVERIFY(SeededHome::writeFile(messy, "//\n" + SeededHome::unformatted));
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(messy), "//\n" + SeededHome::formatted,
                                  15000);
        QVERIFY(SeededHome::terminate(agent) >= 0);
    }

    // A formatter that is not installed, or refuses the configuration, is an error in its own
    // words, not a clean tree.
    void checkSaysWhyAFileCouldNotBeChecked()
    {
        const SeededHome home;
        QVERIFY(SeededHome::writeFile(home.project() + u"/src/a.cpp"_s, SeededHome::formatted));
        QVERIFY(SeededHome::writeFile(home.configurationFile(), "BasedOnStyle: Nonsense\n"));
        const Run refused = sprucer(home, {u"check"_s});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains(u"Nonsense"_s) || refused.err.contains(u"nvalid"_s),
                 qPrintable(refused.err));
    }

    // The configuration as the tool's own file: written, left alone when equal, kept when
    // different unless forced.
    void exportConfigWritesTheToolsFileAndKeepsADifferentOne()
    {
        const SeededHome home;
        const QString target = home.project() + u"/.clang-format"_s;
        const QStringList exportTo{u"export-config"_s, u"LLVM 4"_s, home.project()};
        QCOMPARE(sprucer(home, exportTo).status, 0);
        QCOMPARE(SeededHome::readAll(target), SeededHome::readAll(home.configurationFile()));
        QCOMPARE(sprucer(home, exportTo).status, 0);

        QVERIFY(SeededHome::writeFile(target, "BasedOnStyle: Mozilla\n"));
        QCOMPARE(sprucer(home, exportTo).status, 2);
        QCOMPARE(SeededHome::readAll(target), "BasedOnStyle: Mozilla\n");
        QCOMPARE(sprucer(home, exportTo + QStringList{u"--force"_s}).status, 0);
        QCOMPARE(SeededHome::readAll(target), SeededHome::readAll(home.configurationFile()));
    }
};

SPRUCER_TEST_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
