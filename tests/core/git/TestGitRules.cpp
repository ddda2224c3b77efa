// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/git/GitRules.h"
#include "core/support/UserDefaults.h"
#include "core/watching/FixPipeline.h"
#include "core/watching/SourceFiles.h"
#include "support/TestGit.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) < 0)
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

// Which files a watcher leaves alone for git's sake, and where its options are kept.
class TestGitRules : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_repo = m_root.filePath(u"repo"_s);
    QUuid m_watcher = QUuid::createUuid();

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("GIT_CONFIG_NOSYSTEM", "1");
        writeFile(m_repo + u"/.gitignore"_s, "build/\n*.gen.cpp\n");
        writeFile(m_repo + u"/src/main.cpp"_s, "int main() {}\n");
        writeFile(m_repo + u"/src/kept.gen.cpp"_s, "int kept;\n");
        QVERIFY(TestGit::run(m_repo, {u"init"_s, u"-q"_s}));
        QVERIFY(TestGit::run(m_repo, {u"add"_s, u"."_s}) &&
                TestGit::run(m_repo, {u"add"_s, u"-f"_s, u"src/kept.gen.cpp"_s}) &&
                TestGit::run(m_repo, {u"commit"_s, u"-qm"_s, u"first"_s}));
        writeFile(m_repo + u"/build/generated.cpp"_s, "int g;\n");
        writeFile(m_repo + u"/src/other.gen.cpp"_s, "int o;\n");
        writeFile(m_repo + u"/src/untracked.cpp"_s, "int u;\n");
        writeFile(m_repo + u"/.git/hooks/hook.cpp"_s, "int h;\n");
    }

    void init() { TestHome::current().reset(); }

    // Absent, a watcher's options are those of a watcher stored before they existed; the
    // stored watcher list is not where they live.
    void optionsLiveInAnEntryOfTheirOwn()
    {
        UserDefaults &settings = TestHome::settings();
        WatcherGitOptions options(settings);
        QCOMPARE(options.of(m_watcher), GitOptions{});
        options.adopt(m_watcher);
        QCOMPARE(options.of(m_watcher), GitOptions::forNewWatcher());
        options.set(m_watcher, {true, false});
        options.adopt(m_watcher); // a restart does not reset them
        QCOMPARE(WatcherGitOptions(settings).of(m_watcher), (GitOptions{true, false}));
        QCOMPARE(settings.contains(WatcherGitOptions::storageKey), true);
        options.forget(m_watcher);
        QCOMPARE(options.of(m_watcher), GitOptions{});
        QCOMPARE(settings.contains(WatcherGitOptions::storageKey), false);
    }

    void leavesOutWhatGitIgnoresAndItsOwnFolder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("respecting"); // left out when the watcher respects .gitignore
        QTest::addColumn<bool>("always");     // left out whatever the option
        QTest::newRow("tracked") << u"src/main.cpp"_s << false << false;
        QTest::newRow("tracked though it matches") << u"src/kept.gen.cpp"_s << false << false;
        QTest::newRow("untracked") << u"src/untracked.cpp"_s << false << false;
        QTest::newRow("ignored by name") << u"src/other.gen.cpp"_s << true << false;
        QTest::newRow("in an ignored folder") << u"build/generated.cpp"_s << true << false;
        QTest::newRow("git's own folder") << u".git/hooks/hook.cpp"_s << true << true;
    }

    void leavesOutWhatGitIgnoresAndItsOwnFolder()
    {
        QFETCH(QString, file);
        QFETCH(bool, respecting);
        QFETCH(bool, always);
        GitRules rules(TestHome::settings());
        const QString path = m_repo + u'/' + file;
        rules.options().set(m_watcher, {false, true});
        QCOMPARE(rules.leavesOut(m_watcher, path), respecting);
        QCOMPARE(rules.kept(m_watcher, {path}).isEmpty(), respecting);
        rules.options().set(m_watcher, {false, false});
        QCOMPARE(rules.leavesOut(m_watcher, path), always);
    }

    // "Run Fixers" and saves reach the pipeline, which takes none of the ignored files; the
    // walk never enters a repository's own folder.
    void theRoadOfAFileLeavesThemAlone()
    {
        GitRules rules(TestHome::settings());
        rules.options().set(m_watcher, {false, true});
        const QStringList walked = SourceFiles::inTree(m_repo);
        QVERIFY(walked.contains(m_repo + u"/build/generated.cpp"_s));
        QVERIFY(!walked.filter(u"/.git/"_s).size());
        FixPipeline pipeline(FixPipeline::Timings{});
        pipeline.setGitRules(&rules);
        const FixPipeline::Route route{m_watcher, SupportedFileExtension::cpp, nullptr};
        QStringList taken = pipeline.process(route, walked, FixPipeline::Origin::run);
        taken.sort();
        QCOMPARE(taken, (QStringList{m_repo + u"/src/kept.gen.cpp"_s, m_repo + u"/src/main.cpp"_s,
                                     m_repo + u"/src/untracked.cpp"_s}));
        pipeline.stop();
    }
};

SPRUCER_TEST_MAIN(TestGitRules)
#include "TestGitRules.moc"
