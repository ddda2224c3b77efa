// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stats/CodeFixStatistics.h"
#include "core/stats/CounterStore.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kWatcherId = u"3F2504E0-4F89-41D3-9A0C-0305E82C3301"_s;
const QString kConfigurationId = u"9B2D1C6E-7A41-4E0B-8F3A-2C5D6E7F8A9B"_s;
const QByteArray kUnformatted = "int   main( ){int x=1;return    x;}\n";
// The real clang-format's output under the stored style (LLVM, indented by 4).
const QByteArray kFormatted = "int main() {\n    int x = 1;\n    return x;\n}\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// As the earlier release's encoder wrote a file URL: slashes escaped.
QString storedUrl(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).replace(u'/', u"\\/"_s);
}

// A home with one active C++ watcher on "My Project", stored as an earlier release wrote it,
// and the real program running headless in it.
struct HeadlessHome
{
    QTemporaryDir directory;
    QString home = directory.path(), project = home + u"/My Project"_s;
    QString settingsFile = home + u"/config/Velmora/Sprucer.conf"_s;
    QProcess sprucer;

    void start(const QString &toolsFirst = QString())
    {
        const QString support = home + u"/Application Support/Sprucer/"_s;
        const QString style = support + kConfigurationId + u".yml"_s;
        QVERIFY(QDir().mkpath(project + u"/src"_s) && QDir().mkpath(support));
        writeFile(style, "BasedOnStyle: LLVM\nIndentWidth: 4\n");
        {
            QSettings settings(settingsFile, QSettings::IniFormat);
            settings.setValue(u"Configs"_s, uR"([{"id":"%1","name":"LLVM 4","path":"%2",)"
                                            R"("language":"cpp","createdAt":786297600.25}])"_s.arg(
                                                kConfigurationId, storedUrl(style)));
            settings.setValue(u"monitoredPaths"_s,
                              uR"(["%1",{"name":"Project","url":"%2","isActivated":true,)"
                              R"("codeKind":"cpp","id":"%1","configurationId":"%3"}])"_s
                                  .arg(kWatcherId, storedUrl(project + u'/'), kConfigurationId)
                                  .toUtf8());
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home);
        environment.insert(u"XDG_CONFIG_HOME"_s, home + u"/config"_s);
        environment.insert(u"XDG_CACHE_HOME"_s, home + u"/cache"_s);
        environment.insert(u"XDG_DATA_HOME"_s, home + u"/Application Support"_s);
        environment.insert(u"XDG_RUNTIME_DIR"_s, home + u"/runtime"_s);
        QDir().mkpath(home + u"/runtime"_s);
        QFile::setPermissions(home + u"/runtime"_s,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!toolsFirst.isEmpty())
            environment.insert(u"PATH"_s, toolsFirst + u':' + environment.value(u"PATH"_s));
        sprucer.setProcessEnvironment(environment);
        sprucer.start(QStringLiteral(SPRUCER_EXECUTABLE), {u"--headless"_s});
        QTRY_VERIFY_WITH_TIMEOUT(sprucer.canReadLine(), 10000);
        QVERIFY(sprucer.readLine().startsWith("Sprucer is watching 1 of 1 folders"));
    }

    // Ends the program as a service manager does; returns how long it took, in ms.
    qint64 terminate()
    {
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(sprucer.processId()), SIGTERM);
        if (!sprucer.waitForFinished(30000))
            return -1;
        return sprucer.exitStatus() == QProcess::NormalExit && sprucer.exitCode() == 0
                   ? timer.elapsed()
                   : -1;
    }

    QList<CodeCounterModel> storedCounts() const
    {
        const QSettings stored(settingsFile, QSettings::IniFormat);
        const auto counts =
            CounterStore::decode(stored.value(CounterStore::counterKey).toByteArray());
        return counts.whole() ? counts.items : QList<CodeCounterModel>();
    }
};

} // namespace

// Runs the real program headless in a home of its own, as a user would run it as a service.
class TestHeadlessMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savesAreFormattedOnceCountedAndStored()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        HeadlessHome h;
        h.start();
        if (QTest::currentTestFailed())
            return;
        const QString main = h.project + u"/src/main.cpp"_s;
        const QString other = h.project + u"/src/other.h"_s;
        writeFile(main, kUnformatted);
        QTRY_COMPARE_WITH_TIMEOUT(readAll(main), kFormatted, 15000);
        // A second save is the sentinel: once it is formatted, the first file's own rewrite has
        // long been reported and must have been ignored.
        writeFile(other, kUnformatted);
        QTRY_COMPARE_WITH_TIMEOUT(readAll(other), kFormatted, 15000);

        QVERIFY(h.terminate() >= 0);
        QCOMPARE(h.sprucer.readAllStandardOutput().count("Run Fix "), 2);
        QCOMPARE(h.storedCounts(), (QList<CodeCounterModel>{{QUuid::fromString(kWatcherId), 2}}));
        const QSettings stored(h.settingsFile, QSettings::IniFormat);
        const auto daily =
            CodeFixStatistics::decode(stored.value(CodeFixStatistics::storageKey).toByteArray());
        QVERIFY(daily.whole() && daily.items.size() == 1);
        QCOMPARE(daily.items.first().language, u"C++"_s);
        QCOMPARE(daily.items.first().count, 2);
    }

    // Quitting during bulk work stops the tools after a short grace instead of formatting
    // every queued file first; what was formatted is counted, the rest is left untouched.
    void quitDuringBulkWorkIsQuickAndKeepsTheCounts()
    {
        HeadlessHome h;
        const QString tools = h.home + u"/tools"_s, started = h.home + u"/slow started"_s;
        StandInTool::write(tools, u"clang-format"_s,
                           u"for f; do case \"$f\" in -*) continue;; esac\n"
                           "  case \"$f\" in *slow*) touch '%1'; sleep 60;; esac\n"
                           "  tr a-z A-Z < \"$f\" > \"$f.new\" && mv \"$f.new\" \"$f\"\n"
                           "done"_s.arg(started));
        h.start(tools);
        if (QTest::currentTestFailed())
            return;
        const QString quick = h.project + u"/src/quick.cpp"_s;
        writeFile(quick, "int quick;\n");
        QTRY_COMPARE_WITH_TIMEOUT(readAll(quick), "INT QUICK;\n", 15000);
        for (int i = 0; i < 60; ++i)
            writeFile(h.project + u"/src/slow%1.cpp"_s.arg(i), "int slow;\n");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 15000);

        const qint64 exitMs = h.terminate();
        QVERIFY2(exitMs >= 0 && exitMs < 5000, qPrintable(QString::number(exitMs)));
        QCOMPARE(h.storedCounts(), (QList<CodeCounterModel>{{QUuid::fromString(kWatcherId), 1}}));
        QCOMPARE(readAll(h.project + u"/src/slow7.cpp"_s), "int slow;\n");
        QCOMPARE(QDir(h.project + u"/src"_s)
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .size(),
                 61); // no copy left behind
    }
};

SPRUCER_TEST_MAIN(TestHeadlessMode)
#include "TestHeadlessMode.moc"
