// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/ConfigManagerFactory.h"
#include "core/services/CoreServices.h"
#include "core/services/FormatRun.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"
#include "platform/Platform.h"
#include "support/TestHome.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// Takes trailing spaces off every line; a file holding "broken" makes it fail.
class TrimmingFixer : public IFixer
{
public:
    explicit TrimmingFixer(QString language)
        : m_language(std::move(language))
    {}
    QString language() const override { return m_language; }
    QString tool() const override { return u"trim"_s; }
    FixResult fix(const QString &filePath) override
    {
        QFile file(filePath);
        if (!file.open(QIODevice::ReadWrite))
            return FixResult::of(FixResult::Outcome::failed, std::nullopt, u"unreadable"_s);
        const QByteArray read = file.readAll();
        if (read.contains("broken"))
            return FixResult::of(FixResult::Outcome::failed, read, u"broken input"_s);
        QByteArray trimmed = read;
        while (trimmed.contains(" \n"))
            trimmed.replace(" \n", "\n");
        if (trimmed == read)
            return FixResult::of(FixResult::Outcome::unchanged, read);
        file.resize(0);
        file.write(trimmed);
        return FixResult{trimmed, read, FixResult::Outcome::changed, {}};
    }

private:
    QString m_language;
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

class TestFormatRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // The command line's core shares the stores but must never restore, watch or write back the
    // user's watchers: a window or agent of the same user holds them.
    void aCoreForTheCommandLineLeavesTheWatchersAlone()
    {
        const CodeWatcherModel watcher = storedWatcher();
        const QVariant stored =
            TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers);
        {
            const std::unique_ptr<CoreServices> core = makeCore(false);
            QVERIFY(core->registry().monitors().isEmpty());
            QVERIFY(core->registry().unrestoredWatchers().isEmpty());
            core->registry().saveWatchers();
            QVERIFY(core->makeFixer(watcher));
        }
        QCOMPARE(TestHome::settings().value(WatcherListStore::userDefaultsKeyForWatchers), stored);
        // The same store restores it in a core that watches.
        const std::unique_ptr<CoreServices> watching = makeCore(true);
        QCOMPARE(watching->registry().watchers(), QList<CodeWatcherModel>{watcher});
    }

    void formatsEachFileOnceAndCountsWhereTheWindowDoes()
    {
        const CodeWatcherModel watcher = storedWatcher();
        const std::unique_ptr<CoreServices> core = makeCore(false);
        const QString dir = m_projects.path();
        write(dir + u"/a.cpp"_s, "int a; \n");
        write(dir + u"/b.cpp"_s, "int b;\n");
        write(dir + u"/c.cpp"_s, "broken \n");
        write(dir + u"/notes.txt"_s, "text \n");
        write(dir + u"/k.kt"_s, "val k = 1 \n");
        CodeWatcherModel madeUp = watcher;
        madeUp.id = QUuid();
        madeUp.codeKind = SupportedFileExtension::kotlin;
        const QList<FormatRun::Group> groups{
            {watcher,
             std::make_shared<TrimmingFixer>(u"C++"_s),
             {dir + u"/a.cpp"_s, dir + u"/b.cpp"_s, dir + u"/c.cpp"_s, dir + u"/notes.txt"_s,
              dir + u"/./a.cpp"_s}},
            {madeUp, std::make_shared<TrimmingFixer>(u"Kotlin"_s), {dir + u"/k.kt"_s}}};
        QList<std::pair<qsizetype, qsizetype>> progress;
        const FormatRun::Report report =
            FormatRun(*core).run(groups, [&](qsizetype done, qsizetype total) {
                progress.append({done, total});
            });

        using Result = FixOutcome::Result;
        QList<std::pair<QString, Result>> outcomes;
        for (const FixOutcome &outcome : report.outcomes)
            outcomes.append({QFileInfo(outcome.path).fileName(), outcome.result});
        QCOMPARE(outcomes, (QList<std::pair<QString, Result>>{{u"a.cpp"_s, Result::changed},
                                                              {u"b.cpp"_s, Result::unchanged},
                                                              {u"c.cpp"_s, Result::failed},
                                                              {u"notes.txt"_s, Result::skipped},
                                                              {u"k.kt"_s, Result::changed}}));
        QCOMPARE(report.outcomes[3].reason, u"Not a source file of C++"_s);
        QVERIFY(report.complete);
        QCOMPARE(report.summary.text(), u"5 checked · 2 changed · 1 failed"_s);
        QCOMPARE(report.summary.firstFailure, u"c.cpp: broken input"_s);
        QCOMPARE(progress.size(), 4);
        QCOMPARE(progress.last(), (std::pair<qsizetype, qsizetype>{4, 4}));
        QCOMPARE(contentOf(dir + u"/a.cpp"_s), "int a;\n");

        // Per watcher only the user's watcher; per day both languages. On disk already.
        QCOMPARE(core->counters().fixedCount(), (QList<CodeCounterModel>{{watcher.id, 1}}));
        QStringList languages;
        for (const DailyFix &fix : core->statistics().dailyFixes())
            languages.append(fix.language);
        QCOMPARE(languages, (QStringList{u"C++"_s, u"Kotlin"_s}));
        QVERIFY(report.countsStored);
        const QByteArray onDisk = contentOf(TestHome::current().userDefaultsFile());
        QVERIFY(onDisk.contains(CounterStore::counterKey.toUtf8()));
        QVERIFY(onDisk.contains(CodeFixStatistics::storageKey.toUtf8()));

        // Run again at once: the file still holds what was just left, and the run still ends.
        const FormatRun::Report again =
            FormatRun(*core).run({{watcher, groups[0].fixer, {dir + u"/a.cpp"_s}}});
        QCOMPARE(again.outcomes.size(), 1);
        QCOMPARE(again.outcomes[0].result, Result::skipped);
        QCOMPARE(core->counters().countFor(watcher.id), 1);
    }

private:
    // A watcher of the projects folder, stored with its configuration as the window stores it.
    CodeWatcherModel storedWatcher()
    {
        const QUuid configurationId = QUuid::createUuid();
        ConfigManagerFactory(TestHome::settings())
            .createConfig(configurationId, u"BasedOnStyle: LLVM\n"_s, SupportedFileExtension::cpp,
                          u"Test style"_s);
        CodeWatcherModel watcher =
            CodeWatcherModel::make(u"projects"_s, QUrl::fromLocalFile(m_projects.path() + u'/'),
                                   SupportedFileExtension::cpp, configurationId);
        watcher.isActivated = false;
        WatcherListStore(TestHome::settings()).save({watcher});
        return watcher;
    }

    std::unique_ptr<CoreServices> makeCore(bool restoreWatchers)
    {
        CoreServices::Options options;
        options.settings = &TestHome::settings();
        options.restoreWatchers = restoreWatchers;
        options.makeFixer = [](const CodeWatcherModel &) -> Result<std::shared_ptr<IFixer>> {
            return std::shared_ptr<IFixer>(std::make_shared<TrimmingFixer>(u"C++"_s));
        };
        options.sendSignal = [](const QString &, const QMap<QString, QString> &) {
        };
        options.health.checksWait = true;
        return std::make_unique<CoreServices>(Platform::services(), std::move(options));
    }

    QTemporaryDir m_projects;
};

SPRUCER_TEST_MAIN(TestFormatRun)
#include "TestFormatRun.moc"
