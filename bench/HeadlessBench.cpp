// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the headless agent as a user runs it, with the real clang-format (on the PATH):
//  - storm: 2,000 files written into a watched tree at once, and ten saves of other files while
//    they are formatted: each save's latency beyond the 1.0 s coalescing, against clang-format's
//    own time on the same file;
//  - quit: SIGTERM while 2,000 written files are formatted: the time to exit, and the files
//    formatted on disk against the fixes stored;
//  - hang: three files saved together while the tool hangs on every file: when each file's run
//    started, after the save.
// The agent is any build's `sprucer` (the first argument that is a path, default this build's),
// so an older build is measured by the same bench on the same work.
#include "BenchFiles.h"
#include "FormattingHome.h"
#include "core/stats/CounterStore.h"
#include "core/support/UserDefaults.h"
#include "core/watching/WatcherListStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <vector>

namespace {

using BenchFiles::median;
using BenchFiles::readFile;
using BenchFiles::writeFile;

QTextStream out(stdout);

QByteArray unformatted(int seed)
{
    return "int   function_" + QByteArray::number(seed) +
           "( int a,int b ){int total=0;for(int i=a;i<b ;i++){total+=i;}return total ;}\n";
}

void pause(int milliseconds)
{
    QDeadlineTimer until(milliseconds);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
}

// The agent in a throw-away home that watches `project` (C++, the stored style).
class Agent
{
public:
    Agent(const QString &program, const QString &toolsFirst = QString())
    {
        QDir().mkpath(project());
        const CodeWatcherModel watcher =
            CodeWatcherModel::make(QStringLiteral("bench"), QUrl::fromLocalFile(project() + u'/'),
                                   SupportedFileExtension::cpp, m_home.configurationId);
        UserDefaults::setValue(WatcherListStore::userDefaultsKeyForWatchers,
                               WatcherListStore::encode({watcher}));
        UserDefaults::flush();
        QDir().mkpath(QFileInfo(settingsFile()).path());
        QFile::copy(UserDefaults::fileName(), settingsFile());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + u"/config");
        if (!toolsFirst.isEmpty())
            environment.insert(QStringLiteral("PATH"),
                               toolsFirst + u':' + environment.value(QStringLiteral("PATH")));
        m_process.setProcessEnvironment(environment);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(program, {QStringLiteral("--headless")});
        m_process.waitForStarted();
        pause(1500); // the tree is being watched
    }

    ~Agent()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString project() const { return m_home.path() + QStringLiteral("/project"); }
    QString path() const { return m_home.path(); }
    const QString &stylePath() const { return m_home.stylePath; }

    // Seconds from SIGTERM to the exit; -1 when it did not exit within 10 minutes.
    double terminate()
    {
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(m_process.processId()), SIGTERM);
        return m_process.waitForFinished(600000) ? timer.elapsed() / 1000.0 : -1;
    }

    qint64 storedCount() const
    {
        const QSettings stored(settingsFile(), QSettings::IniFormat);
        const auto counts =
            CounterStore::decode(stored.value(CounterStore::counterKey).toByteArray());
        qint64 total = 0;
        for (const CodeCounterModel &count : counts.items)
            total += count.fixedCount;
        return total;
    }

private:
    QString settingsFile() const { return m_home.path() + u"/config/Velmora/Sprucer.conf"; }

    FormattingHome m_home;
    QProcess m_process;
};

QByteArray formattedAlone(const QString &scratch, const QString &style, const QByteArray &text,
                          double *milliseconds)
{
    const QString alone = scratch + QStringLiteral("/alone.cpp");
    writeFile(alone, text);
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("clang-format"),
                      {QStringLiteral("-i"), QStringLiteral("-style=file:") + style, alone});
    *milliseconds = timer.nsecsElapsed() / 1e6;
    return readFile(alone);
}

void benchStorm(const QString &program)
{
    Agent agent(program);
    constexpr int kSaves = 10;
    std::vector<QByteArray> expected;
    std::vector<double> toolAlone(kSaves);
    for (int i = 0; i < kSaves; ++i)
        expected.push_back(
            formattedAlone(agent.path(), agent.stylePath(), unformatted(5000 + i), &toolAlone[i]));
    for (int i = 0; i < 2000; ++i)
        writeFile(agent.project() + QStringLiteral("/storm/module%1/file%2.cpp").arg(i / 50).arg(i),
                  unformatted(i));
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> savedAt(kSaves, -1), formattedAt(kSaves, -1);
    QDeadlineTimer giveUp(900000);
    int done = 0;
    while (done < kSaves && !giveUp.hasExpired()) {
        const int next =
            int(std::count_if(savedAt.begin(), savedAt.end(), [](qint64 at) { return at >= 0; }));
        if (next < kSaves && clock.elapsed() >= 2000 + 1500 * next) {
            writeFile(agent.project() + QStringLiteral("/saves/save%1.cpp").arg(next),
                      unformatted(5000 + next));
            savedAt[next] = clock.elapsed();
        }
        for (int i = 0; i < kSaves; ++i) {
            if (savedAt[i] >= 0 && formattedAt[i] < 0 &&
                readFile(agent.project() + QStringLiteral("/saves/save%1.cpp").arg(i)) ==
                    expected[i]) {
                formattedAt[i] = clock.elapsed();
                ++done;
            }
        }
        pause(10);
    }
    std::vector<double> latencies;
    for (int i = 0; i < kSaves; ++i) {
        if (formattedAt[i] >= 0)
            latencies.push_back((formattedAt[i] - savedAt[i]) / 1000.0);
    }
    // Under a storm the coalescing window is mostly open already, so a save may be delivered
    // before a full second has passed.
    out << "Saves during a 2,000-file storm (s from the save to its formatted content; "
        << latencies.size() << " of " << kSaves << " formatted within 15 min): median "
        << QString::number(median(latencies), 'f', 2) << ", worst "
        << QString::number(
               latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end()), 'f',
               2)
        << "; clang-format alone on such a file: " << QString::number(median(toolAlone), 'f', 1)
        << " ms\n"
        << Qt::flush;
}

void benchQuit(const QString &program)
{
    Agent agent(program);
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i)
        writeFile(agent.project() + QStringLiteral("/bulk/module%1/file%2.cpp").arg(i / 50).arg(i),
                  unformatted(i));
    pause(3000); // the run is well under way
    const double exitSeconds = agent.terminate();
    int formatted = 0;
    for (int i = 0; i < kFiles; ++i) {
        formatted += readFile(agent.project() +
                              QStringLiteral("/bulk/module%1/file%2.cpp").arg(i / 50).arg(i)) !=
                     unformatted(i);
    }
    out << "SIGTERM 3 s into formatting " << kFiles << " files: exit after "
        << QString::number(exitSeconds, 'f', 2) << " s; " << formatted
        << " files formatted on disk, " << agent.storedCount() << " fixes stored\n"
        << Qt::flush;
}

void benchHang(const QString &program)
{
    QTemporaryDir tools;
    const QString starts = tools.filePath(QStringLiteral("starts"));
    writeFile(tools.filePath(QStringLiteral("clang-format")),
              "#!/bin/sh\necho \"$(date +%s.%N)\" >> '" + starts.toUtf8() + "'\nexec sleep 600\n");
    QFile::setPermissions(tools.filePath(QStringLiteral("clang-format")),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Agent agent(program, tools.path());
    const double savedAt = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    for (int i = 0; i < 3; ++i)
        writeFile(agent.project() + QStringLiteral("/hang%1.cpp").arg(i), unformatted(i));
    QDeadlineTimer giveUp(400000);
    QStringList lines;
    while (lines.size() < 3 && !giveUp.hasExpired()) {
        pause(200);
        lines = QString::fromUtf8(readFile(starts)).split(u'\n', Qt::SkipEmptyParts);
    }
    out << "Three files saved together, the tool hanging on each: runs started after";
    for (const QString &line : lines)
        out << ' ' << QString::number(line.toDouble() - savedAt, 'f', 1) << " s";
    out << '\n' << Qt::flush;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (FormattingHome::clangFormat().isEmpty())
        return 1;
    QString program = QStringLiteral(SPRUCER_EXECUTABLE);
    QStringList what;
    for (const QString &argument : app.arguments().mid(1)) {
        if (argument.contains(u'/'))
            program = argument;
        else
            what << argument;
    }
    out << "Agent: " << program << '\n';
    if (what.isEmpty() || what.contains(QStringLiteral("storm")))
        benchStorm(program);
    if (what.isEmpty() || what.contains(QStringLiteral("quit")))
        benchQuit(program);
    if (what.isEmpty() || what.contains(QStringLiteral("hang")))
        benchHang(program);
    return 0;
}
