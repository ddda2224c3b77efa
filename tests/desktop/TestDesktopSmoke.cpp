// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DesktopSession.h"
#include "support/SeededHome.h"
#include "support/TestMain.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

enum class QuitRoute
{
    shortcut,
    shortcutOverWelcome, // a first launch: the welcome sheet holds the window's keyboard
    trayMenu,
    terminationSignal,
};

namespace {

const QString kOutput = QStringLiteral(DESKTOP_SMOKE_OUTPUT);
const QString kWindowTitle = u"Sprucer"_s;
constexpr int kQuitLimitMs = 5000;

QString lastLines(const QString &path, qsizetype count = 20)
{
    QStringList lines = QString::fromUtf8(SeededHome::readAll(path)).split(u'\n');
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines.mid(std::max<qsizetype>(0, lines.size() - count)).join(u'\n');
}

// Qt Test cuts a failure's message at about a thousand characters: the program's own output and
// log go out before it, whole.
#define VERIFY_WITH_LOG(condition, message, app)                                                   \
    do {                                                                                           \
        if (!(condition))                                                                          \
            qWarning().noquote() << "The program's last words:" << (app).logTail();                \
        QVERIFY2(condition, qPrintable(message));                                                  \
    } while (false)

// The real program in a seeded home, shown on the session's display. Never outlives its case.
class DesktopApp
{
public:
    DesktopApp(const DesktopSession &session, const QString &name, bool welcomed = true)
        : m_session(session)
        , m_output(kOutput + u'/' + name + u".log"_s)
    {
        // A user of an earlier release has seen the welcome sheet, which holds the keyboard.
        if (welcomed)
            home.setStoredValue(u"shouldBeOnBoard"_s, false);
    }

    ~DesktopApp()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    DesktopApp(const DesktopApp &) = delete;
    DesktopApp &operator=(const DesktopApp &) = delete;

    void start()
    {
        QProcessEnvironment environment = home.environment();
        environment.remove(u"WAYLAND_DISPLAY"_s);
        environment.remove(u"AT_SPI_BUS_ADDRESS"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        for (const QString &name :
             {u"DISPLAY"_s, u"DBUS_SESSION_BUS_ADDRESS"_s, u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s})
            environment.insert(name, m_session.value(name));
        // At exit LeakSanitizer now and then finds blocks that libdbus (under Qt's accessibility
        // bridge) never frees; the leak check of the program's own code is TestDesktopApp's,
        // offscreen. Every other sanitizer check stays on.
        const QString sanitizer = environment.value(u"ASAN_OPTIONS"_s);
        environment.insert(u"ASAN_OPTIONS"_s, (sanitizer.isEmpty() ? QString() : sanitizer + u':') +
                                                  u"detect_leaks=0"_s);
        process.setProcessEnvironment(environment);
        // A file, not a pipe: nobody drains a pipe while the test waits on a helper.
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(m_output);
        process.start(QStringLiteral(SPRUCER_EXECUTABLE));
    }

    QString pid() const { return QString::number(process.processId()); }
    QString atspiName() const { return u"pid:"_s + pid(); }

    // Whether it ended within `ms`; it may have ended unnoticed while another process was
    // waited for.
    bool ended(int ms)
    {
        return process.state() == QProcess::NotRunning || process.waitForFinished(ms);
    }

    // The program's own output and log, for failure messages.
    QString logTail() const
    {
        return u"\n--- output (%1):\n%2\n--- sprucer.log:\n%3"_s.arg(
            m_output, lastLines(m_output), lastLines(home.path(u"cache/Sprucer/sprucer.log"_s)));
    }

    SeededHome home;
    QProcess process;

private:
    const DesktopSession &m_session;
    QString m_output;
};

struct Cell
{
    QString name;
    QString description;
};

// A table as `a11y.py table --json` reads it.
struct AccessibleTable
{
    QStringList header;
    QList<QList<Cell>> rows;

    static AccessibleTable parse(const QByteArray &json)
    {
        AccessibleTable table;
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        for (const QJsonValue &title : object.value(u"header"_s).toArray())
            table.header << title.toString();
        for (const QJsonValue &row : object.value(u"rows"_s).toArray()) {
            QList<Cell> cells;
            for (const QJsonValue &cell : row.toArray())
                cells.append({cell[u"name"_s].toString(), cell[u"description"_s].toString()});
            table.rows.append(cells);
        }
        return table;
    }

    const Cell *cell(const QString &rowName, const QString &columnTitle) const
    {
        const qsizetype nameColumn = header.indexOf(u"Name"_s);
        const qsizetype column = header.indexOf(columnTitle);
        for (const QList<Cell> &row : rows)
            if (nameColumn >= 0 && row.value(nameColumn).name == rowName && column >= 0 &&
                column < row.size())
                return &row.at(column);
        return nullptr;
    }

    bool hasRow(const QString &rowName) const
    {
        const qsizetype nameColumn = header.indexOf(u"Name"_s);
        return std::any_of(rows.begin(), rows.end(), [&](const QList<Cell> &row) {
            return nameColumn >= 0 && row.value(nameColumn).name == rowName;
        });
    }

    // Tab-separated, header first; a described cell carries its description in braces.
    QString tsv() const
    {
        QStringList lines{header.join(u'\t')};
        for (const QList<Cell> &row : rows) {
            QStringList texts;
            for (const Cell &cell : row)
                texts << (cell.description.isEmpty()
                              ? cell.name
                              : u"%1 {%2}"_s.arg(cell.name, cell.description.trimmed().replace(
                                                                u'\n', u" ⏎ "_s)));
            lines << texts.join(u'\t');
        }
        return lines.join(u'\n');
    }
};

} // namespace

// The real program on a real X display with a window manager, a tray and the accessibility
// bus, driven only from outside: what a user sees and does, not what the code says.
class TestDesktopSmoke : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString missing = DesktopSession::missingPackages();
        if (!missing.isEmpty())
            QSKIP(qPrintable(u"a desktop session needs these Debian packages: "_s + missing));
        QVERIFY(QDir(kOutput).removeRecursively());
        QVERIFY(QDir().mkpath(kOutput));
        qInfo().noquote() << "Screenshots and the program's output go to" << kOutput;

        m_session = std::make_unique<DesktopSession>(QStringLiteral(DESKTOP_HARNESS));
        QString failure;
        QVERIFY2(m_session->start(&failure), qPrintable(failure));
        qInfo().noquote() << "Session on" << m_session->value(u"DISPLAY"_s)
                          << "up:" << m_session->timings().replace(u'\n', u", "_s);
    }

    void cleanupTestCase() { m_session.reset(); }

    void startsWithItsWindowOverAccessibilityAndItsIconInTheTray()
    {
        DesktopApp app(*m_session, u"start"_s);
        startAndWaitForWindowAndTrayIcon(app);
        if (QTest::currentTestFailed())
            return;
        const DesktopSession::Run frame =
            m_session->a11y({u"find"_s, app.atspiName(), u"frame"_s, kWindowTitle});
        QVERIFY2(frame.ok() && frame.out.startsWith("frame 'Sprucer'") &&
                     !frame.out.contains("hidden"),
                 qPrintable(u"the main window is not shown: "_s + frame.summary()));
    }

    // Quitting ends the process while a tray icon (which keeps it alive when only the window is
    // closed) is shown, whichever way the user or the session asks.
    void quitEndsTheProgramWhileTheTrayIconIsShown_data()
    {
        QTest::addColumn<QuitRoute>("route");
        QTest::newRow("Ctrl+Q in the main window") << QuitRoute::shortcut;
        QTest::newRow("Ctrl+Q over the welcome sheet") << QuitRoute::shortcutOverWelcome;
        QTest::newRow("closed to the tray, then Quit in its menu") << QuitRoute::trayMenu;
        QTest::newRow("SIGTERM, as a session's end sends") << QuitRoute::terminationSignal;
    }

    void quitEndsTheProgramWhileTheTrayIconIsShown()
    {
        QFETCH(QuitRoute, route);
        static const char *const logNames[] = {"quit-shortcut", "quit-welcome", "quit-tray",
                                               "quit-sigterm"};
        DesktopApp app(*m_session, QString::fromLatin1(logNames[int(route)]),
                       route != QuitRoute::shortcutOverWelcome);
        startAndWaitForWindowAndTrayIcon(app);
        if (QTest::currentTestFailed())
            return;

        switch (route) {
        case QuitRoute::shortcut:
        case QuitRoute::shortcutOverWelcome: {
            const QString window = mainWindowId(app);
            VERIFY_WITH_LOG(!window.isEmpty(), u"no visible main window"_s, app);
            // Over the welcome sheet, the window manager hands the keyboard to the sheet.
            activate(window, route == QuitRoute::shortcutOverWelcome ? app.pid() : QString());
            if (QTest::currentTestFailed())
                return;
            const DesktopSession::Run keys = m_session->xdotool({u"key"_s, u"ctrl+q"_s});
            QVERIFY2(keys.ok(), qPrintable(keys.summary()));
            break;
        }
        case QuitRoute::trayMenu: {
            closeToTheTray(app);
            if (QTest::currentTestFailed())
                return;
            // Qt leaves popups out of the app's tree: a11y.py catches the menu as it shows.
            // Its items report the place of the menu bar's copy of their actions, so a pointer
            // would miss; Down confirmed item by item, then Return, chooses Quit.
            const DesktopSession::Run menu = m_session->a11y(
                {u"popup"_s, app.atspiName(), u"--trigger"_s,
                 m_session->helperCommand(u"xtray.py"_s, {u"click"_s, app.atspiName(), u"3"_s}),
                 u"--click"_s, u"Quit"_s, u"--keys"_s, u"--timeout"_s, u"10"_s});
            VERIFY_WITH_LOG(menu.ok(), u"the tray menu's Quit was not chosen: "_s + menu.summary(),
                            app);
            break;
        }
        case QuitRoute::terminationSignal:
            QCOMPARE(::kill(pid_t(app.process.processId()), SIGTERM), 0);
            break;
        }

        QElapsedTimer sinceQuit;
        sinceQuit.start();
        const bool ended = app.ended(kQuitLimitMs);
        if (ended)
            qInfo("The process ended %lld ms after the request to quit",
                  static_cast<long long>(sinceQuit.elapsed()));
        VERIFY_WITH_LOG(
            ended,
            u"the process still runs %1 ms after the request to quit; %2"_s.arg(sinceQuit.elapsed())
                .arg(describeWindowAndTray(app)),
            app);
        VERIFY_WITH_LOG(app.process.exitStatus() == QProcess::NormalExit &&
                            app.process.exitCode() == 0,
                        u"quit with %1 %2"_s
                            .arg(app.process.exitStatus() == QProcess::NormalExit
                                     ? u"exit status"_s
                                     : u"a crash, signal or status"_s)
                            .arg(app.process.exitCode()),
                        app);
    }

    // A style the formatter refuses is shown where the user looks, on the watcher's row, with
    // the formatter's own words for assistive technology and the tip.
    void refusedConfigurationShowsOnTheWatchersRow()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        DesktopApp app(*m_session, u"refused-configuration"_s);
        QVERIFY(SeededHome::writeFile(app.home.configurationFile(),
                                      "BasedOnStyle: LLVM\nIndentWidth: 4\n"
                                      "BreakBeforeBraces: Sideways\n"));
        // The premise, from the formatter itself: this clang-format refuses the style.
        const DesktopSession::Run check =
            m_session->run(u"clang-format"_s,
                           {u"--style=file:"_s + app.home.configurationFile(), u"--dump-config"_s});
        QVERIFY2(check.finished && check.exitCode != 0 &&
                     check.err.contains("unknown enumerated scalar"),
                 qPrintable(u"clang-format no longer refuses the style: "_s + check.summary()));

        startAndWaitForWindowAndTrayIcon(app);
        if (QTest::currentTestFailed())
            return;

        // The row is there once the registry has restored the watcher; its state may follow
        // a moment later, when the check of the style answers.
        AccessibleTable table;
        DesktopSession::Run read;
        const Cell *status = nullptr;
        const QDeadlineTimer deadline(15000);
        do {
            read = m_session->a11y({u"table"_s, app.atspiName(), u"Watchers"_s, u"--json"_s});
            table = AccessibleTable::parse(read.out);
            status = table.cell(u"Project"_s, u"Status"_s);
            // The columns are fixed: without a Status column no waiting will bring one.
            if (table.hasRow(u"Project"_s) && !table.header.contains(u"Status"_s))
                break;
            if (status && status->name == u"Configuration refused"_s)
                break;
            QTest::qWait(100);
        } while (!deadline.hasExpired());

        const QString window = mainWindowId(app);
        const QString screenshot = kOutput + u"/refused-configuration.png"_s;
        const DesktopSession::Run shot = m_session->screenshot(screenshot, window);
        if (shot.ok())
            qInfo().noquote() << "Main window:" << screenshot;
        else
            qWarning().noquote() << "No screenshot:" << shot.summary();

        const QString seen = u"the table \"Watchers\" reads:\n"_s + table.tsv() +
                             (read.ok() ? QString() : u"\n("_s + read.summary() + u')');
        VERIFY_WITH_LOG(table.hasRow(u"Project"_s), seen, app);
        QVERIFY2(table.header.contains(u"Status"_s),
                 qPrintable(u"no column headed \"Status\"; "_s + seen));
        QVERIFY2(status && status->name == u"Configuration refused"_s,
                 qPrintable(u"the watcher's status is not \"Configuration refused\"; "_s + seen));
        QVERIFY2(status->description.contains(u"unknown enumerated scalar"_s),
                 qPrintable(u"the status does not carry clang-format's reason; "_s + seen));
        QVERIFY2(shot.ok(), qPrintable(shot.summary()));
    }

    // A keyboard user on the smallest window: every column of the watchers table on screen,
    // Tab leaving the table, and a configuration deleted once confirmed, its file with it.
    void smallWindowKeyboardAndDeletingAConfiguration()
    {
        DesktopApp app(*m_session, u"small-window"_s);
        const QString spare = app.home.path(u"Application Support/Sprucer/spare.yml"_s);
        QVERIFY(SeededHome::writeFile(spare, "BasedOnStyle: Google\n"));
        app.home.addConfiguration(u"cpp"_s, u"Google 2"_s, spare);
        startAndWaitForWindowAndTrayIcon(app);
        if (QTest::currentTestFailed())
            return;
        const QString window = mainWindowId(app);
        VERIFY_WITH_LOG(!window.isEmpty(), u"no visible main window"_s, app);
        QVERIFY(m_session->xdotool({u"windowsize"_s, window, u"800"_s, u"600"_s}).ok());

        // The row's last cell lies within the table, whole.
        QRect table;
        QRect remove;
        const QDeadlineTimer deadline(10000);
        do {
            table = extentsOf(app, u"table"_s, u"Watchers"_s);
            remove = extentsOf(app, u"table cell"_s, u"Remove Project"_s);
            if (table.isValid() && table.width() <= 800 && table.contains(remove))
                break;
            QTest::qWait(100);
        } while (!deadline.hasExpired());
        m_session->screenshot(kOutput + u"/small-window.png"_s, window);
        VERIFY_WITH_LOG(table.isValid() && table.width() <= 800 && table.contains(remove),
                        u"the table at %1 does not show \"Remove\" whole: %2"_s.arg(
                            rectText(table), rectText(remove)),
                        app);

        activate(window);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(
            m_session
                ->a11y({u"click"_s, app.atspiName(), u"table cell"_s, u"Project"_s, u"--mouse"_s})
                .ok());
        // A cell keeps its "focused" state while it is current: the table's own state says
        // where the keyboard is.
        QString focused;
        QTRY_VERIFY_WITH_TIMEOUT((focused = focusedWidgets(app)).startsWith(u"table 'Watchers'"_s),
                                 5000);
        QVERIFY(m_session->xdotool({u"key"_s, u"Tab"_s}).ok());
        QTRY_VERIFY2_WITH_TIMEOUT(!(focused = focusedWidgets(app)).isEmpty() &&
                                      !focused.contains(u"table 'Watchers'"_s),
                                  qPrintable(u"after Tab the focus is on: "_s + focused), 5000);

        deleteConfiguration(app, u"Google 2"_s);
        if (QTest::currentTestFailed())
            return;
        const QString settings = app.home.path(u"config/Velmora/Sprucer.conf"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!QSettings(settings, QSettings::IniFormat)
                                      .value(u"Configs"_s)
                                      .toString()
                                      .contains(u"Google 2"_s),
                                 5000);
        QVERIFY(!QFile::exists(spare));
        QVERIFY(QFile::exists(app.home.configurationFile()));
    }

    // A save the watcher formats is in the History screen, and choosing it shows its diff.
    void historyShowsTheDiffOfAFix()
    {
        if (QStandardPaths::findExecutable(u"clang-format"_s).isEmpty())
            QSKIP("clang-format is not installed");
        DesktopApp app(*m_session, u"history"_s);
        startAndWaitForWindowAndTrayIcon(app);
        if (QTest::currentTestFailed())
            return;
        const QString messy = app.home.project() + u"/src/messy.cpp"_s;
        QVERIFY(SeededHome::writeFile(messy, SeededHome::unformatted));
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(messy), SeededHome::formatted, 15000);

        const QString pid = app.atspiName();
        const QString row = u"re:.*messy\\.cpp   Project   .*"_s;
        for (const QStringList &step :
             {QStringList{u"click"_s, pid, u"list item"_s, u"History"_s, u"--mouse"_s},
              QStringList{u"wait"_s, pid, u"list item"_s, row, u"--timeout"_s, u"5"_s},
              QStringList{u"click"_s, pid, u"list item"_s, row, u"--mouse"_s}}) {
            const DesktopSession::Run done = m_session->a11y(step);
            VERIFY_WITH_LOG(done.ok(), u"the fix could not be chosen: "_s + done.summary(), app);
        }
        DesktopSession::Run diff;
        const QDeadlineTimer deadline(5000);
        do {
            diff = m_session->a11y({u"text"_s, pid, u"*"_s, u"Diff"_s});
        } while (!diff.out.contains("+    return x;") && !deadline.hasExpired() &&
                 (QTest::qWait(100), true));
        m_session->screenshot(kOutput + u"/history.png"_s, mainWindowId(app));
        VERIFY_WITH_LOG(diff.out.contains("-int   main( ){int x=1;return    x;}") &&
                            diff.out.contains("+    return x;"),
                        u"the diff shown is not the fix's: "_s + diff.summary(), app);

        // Taken back from the window: the file holds what the user saved.
        const DesktopSession::Run undo =
            m_session->a11y({u"click"_s, pid, u"push button"_s, u"Undo"_s});
        VERIFY_WITH_LOG(undo.ok(), u"Undo could not be pressed: "_s + undo.summary(), app);
        QTRY_COMPARE_WITH_TIMEOUT(SeededHome::readAll(messy), SeededHome::unformatted, 5000);
    }

private:
    // Through the window, as a user: the configurations screen, the language's list, the
    // trash button at the row's end (a widget in the list, which the bus does not list), then
    // "Delete" in the confirmation.
    void deleteConfiguration(DesktopApp &app, const QString &name)
    {
        const QString pid = app.atspiName();
        const auto step = [&](const QStringList &arguments) {
            const DesktopSession::Run done = m_session->a11y(arguments);
            VERIFY_WITH_LOG(done.ok(), u"deleting \"%1\" failed at: %2"_s.arg(name, done.summary()),
                            app);
        };
        step({u"click"_s, pid, u"list item"_s, u"Configurations"_s, u"--mouse"_s});
        step({u"click"_s, pid, u"push button"_s, u"Edit C++"_s});
        step({u"wait"_s, pid, u"list item"_s, u"Edit "_s + name, u"--timeout"_s, u"5"_s});
        if (QTest::currentTestFailed())
            return;
        const QRect row = extentsOf(app, u"list item"_s, u"Edit "_s + name);
        const QPoint trash(row.right() - 8 - 14, row.center().y());
        QVERIFY(
            m_session
                ->xdotool({u"mousemove"_s, QString::number(trash.x()), QString::number(trash.y()),
                           u"sleep"_s, u"0.1"_s, u"click"_s, u"1"_s})
                .ok());
        step({u"wait"_s, pid, u"push button"_s, u"Delete"_s, u"--timeout"_s, u"5"_s});
        step({u"click"_s, pid, u"push button"_s, u"Delete"_s});
    }

    // Where a widget is on screen, from its one line in `a11y.py find`; invalid when unknown.
    QRect extentsOf(DesktopApp &app, const QString &role, const QString &name) const
    {
        static const QRegularExpression at(u"@(-?\\d+),(-?\\d+) (\\d+)x(\\d+)"_s);
        const DesktopSession::Run found = m_session->a11y({u"find"_s, app.atspiName(), role, name});
        const QRegularExpressionMatch match = at.match(QString::fromUtf8(found.out));
        if (!found.ok() || !match.hasMatch())
            return {};
        return {match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                match.captured(4).toInt()};
    }

    static QString rectText(const QRect &rect)
    {
        return u"%1,%2 %3x%4"_s.arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
    }

    // The widgets that say they have the keyboard focus, one a line, but the window and the
    // table's cells.
    QString focusedWidgets(DesktopApp &app) const
    {
        const DesktopSession::Run tree = m_session->a11y({u"dump"_s, app.atspiName()});
        QStringList focused;
        for (const QString &line : QString::fromUtf8(tree.out).split(u'\n')) {
            const QString item = line.trimmed();
            if (item.contains(u"[focused"_s) && !item.startsWith(u"frame"_s) &&
                !item.startsWith(u"table cell"_s))
                focused << item;
        }
        return focused.join(u'\n');
    }

    // The window's close button (Alt+F4, as the window manager sends it) only hides the window:
    // Sprucer goes on in the tray, and says so the first time.
    void closeToTheTray(DesktopApp &app)
    {
        const QString window = mainWindowId(app);
        VERIFY_WITH_LOG(!window.isEmpty(), u"no visible main window"_s, app);
        activate(window);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(m_session->xdotool({u"key"_s, u"alt+F4"_s}).ok());
        QTRY_VERIFY_WITH_TIMEOUT(mainWindowId(app).isEmpty(), 5000);
        VERIFY_WITH_LOG(!app.ended(0) && trayIconOf(app, m_session->xtray({u"icons"_s})),
                        u"closing the window did not leave Sprucer in the tray: "_s +
                            describeWindowAndTray(app),
                        app);
        const QString settings = app.home.path(u"config/Velmora/Sprucer.conf"_s);
        QTRY_VERIFY_WITH_TIMEOUT(
            QSettings(settings, QSettings::IniFormat).value(u"trayHintShown"_s).toBool(), 5000);
    }

    // Its window reachable over the accessibility bus, its icon embedded in the tray.
    void startAndWaitForWindowAndTrayIcon(DesktopApp &app)
    {
        QElapsedTimer sinceStart;
        sinceStart.start();
        app.start();
        QVERIFY2(app.process.waitForStarted(10000), qPrintable(app.process.errorString()));

        const DesktopSession::Run window = m_session->a11y(
            {u"wait"_s, app.atspiName(), u"frame"_s, kWindowTitle, u"--timeout"_s, u"30"_s}, 40000);
        VERIFY_WITH_LOG(window.ok(),
                        u"no window \"Sprucer\" over AT-SPI: "_s + window.summary() +
                            u"; process "_s + processState(app),
                        app);
        const qint64 windowMs = sinceStart.elapsed();

        DesktopSession::Run icons;
        const QDeadlineTimer deadline(10000);
        while (!trayIconOf(app, icons = m_session->xtray({u"icons"_s})) && !deadline.hasExpired())
            QTest::qWait(100);
        VERIFY_WITH_LOG(trayIconOf(app, icons),
                        u"no tray icon of process %1 embedded: "_s.arg(app.pid()) + icons.summary(),
                        app);
        qInfo("Window over AT-SPI after %lld ms, tray icon after %lld ms",
              static_cast<long long>(windowMs), static_cast<long long>(sinceStart.elapsed()));
    }

    static bool trayIconOf(const DesktopApp &app, const DesktopSession::Run &icons)
    {
        // WID PID CLASS X Y W H
        for (const QByteArray &line : icons.out.split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() >= 2 && fields.at(1) == app.pid().toUtf8())
                return true;
        }
        return false;
    }

    // The X window of the main window, decimal as xdotool prints it; empty when none shows.
    // Only a window the window manager manages: the tray icon's window has the same title.
    QString mainWindowId(const DesktopApp &app) const
    {
        // "_NET_CLIENT_LIST(WINDOW): window id # 0x60000e, 0x400006"
        const DesktopSession::Run clients =
            m_session->run(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST"_s});
        QSet<qulonglong> managed;
        for (const QString &id : QString::fromLatin1(clients.out).section(u'#', 1).split(u','))
            managed.insert(id.trimmed().toULongLong(nullptr, 0));
        const DesktopSession::Run search = m_session->xdotool(
            {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, app.pid(), u"--name"_s, u"^Sprucer$"_s});
        for (const QString &id : QString::fromLatin1(search.out).split(u'\n', Qt::SkipEmptyParts))
            if (managed.contains(id.toULongLong()))
                return id;
        return {};
    }

    // No `windowactivate --sync`: it waits forever for a window that never becomes active.
    // With `ownerPid`, any window of that process may take the keyboard (a sheet over it).
    void activate(const QString &window, const QString &ownerPid = QString())
    {
        DesktopSession::Run active;
        const QDeadlineTimer deadline(5000);
        do {
            m_session->xdotool({u"windowactivate"_s, window});
            active = m_session->xdotool({u"getactivewindow"_s});
            if (active.out.trimmed() == window.toLatin1())
                return;
            if (!ownerPid.isEmpty() &&
                m_session->xdotool({u"getactivewindow"_s, u"getwindowpid"_s}).out.trimmed() ==
                    ownerPid.toLatin1())
                return;
            QTest::qWait(100);
        } while (!deadline.hasExpired());
        QFAIL(qPrintable(u"window %1 did not become active: "_s.arg(window) + active.summary()));
    }

    QString describeWindowAndTray(DesktopApp &app) const
    {
        const DesktopSession::Run frame =
            m_session->a11y({u"find"_s, app.atspiName(), u"frame"_s, kWindowTitle});
        const DesktopSession::Run icons = m_session->xtray({u"icons"_s});
        return u"process %1; its main window over AT-SPI: %2 (\"hidden\": not showing); "
               u"its main window on screen: %3; tray icon embedded: %4"_s.arg(
                   processState(app), QString::fromUtf8(frame.out).trimmed(),
                   mainWindowId(app).isEmpty() ? u"no"_s : u"yes"_s,
                   trayIconOf(app, icons) ? u"yes"_s : u"no"_s);
    }

    static QString processState(DesktopApp &app)
    {
        if (!app.ended(0))
            return u"%1 running"_s.arg(app.pid());
        return u"ended with %1 %2"_s
            .arg(app.process.exitStatus() == QProcess::NormalExit ? u"status"_s : u"a crash,"_s)
            .arg(app.process.exitCode());
    }

    std::unique_ptr<DesktopSession> m_session;
};

SPRUCER_TEST_MAIN(TestDesktopSmoke)
#include "TestDesktopSmoke.moc"
