// SPDX-License-Identifier: GPL-3.0-or-later
// Renders each screen of the app from a demo home into PNGs, so they can be looked at (and
// shown in the README) without a desktop: scripts/render-screens [OUT_DIR].
#include "core/formatting/ConfigManagerFactory.h"
#include "core/history/FixHistoryModel.h"
#include "core/history/FixJournal.h"
#include "core/markups/MarkupTreeModel.h"
#include "core/services/CoreServices.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/UserDefaults.h"
#include "core/watching/MarkupsViewModel.h"
#include "core/watching/WatcherListStore.h"
#include "gui/configurations/ConfigCard.h"
#include "gui/configurations/ConfigEditorView.h"
#include "gui/configurations/ConfigurationDashboardView.h"
#include "gui/configurations/RawXmlFormatterView.h"
#include "gui/history/HistoryView.h"
#include "gui/markups/MarkupsView.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/MainView.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/SprucerApp.h"
#include "gui/shell/StatusBarView.h"
#include "gui/watchers/SetupNewWatcherView.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget *widget, const QString &path)
{
    settle();
    const bool saved = widget && widget->grab().save(path);
    QTextStream(stdout) << (saved ? "wrote " : "could not write ") << path << '\n';
    return saved;
}

const char kHouseStyle[] = "# The team's style: LLVM, wider lines, braces on their own line\n"
                           "# for functions and classes.\n"
                           "BasedOnStyle: LLVM\n"
                           "IndentWidth: 4\n"
                           "ColumnLimit: 100\n"
                           "BreakBeforeBraces: Custom\n"
                           "BraceWrapping:\n"
                           "  AfterFunction: true\n"
                           "  AfterClass: true\n"
                           "AllowShortFunctionsOnASingleLine: Empty\n"
                           "PointerAlignment: Right\n"
                           "SortIncludes: CaseSensitive\n";

// Waits, with the event loop running, until `done` or a few seconds have passed.
template <typename Done>
void settleUntil(Done done)
{
    for (int i = 0; i < 300 && !done(); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

// The Configurations screen, then the C++ list sheet and the editor sheet over it, checked.
bool saveConfigurationScreens(MainWindow &window, const QString &out)
{
    window.mainView()->select(MainView::Entry::configurations);
    bool saved = save(&window, out + QStringLiteral("/configurations.png"));
    auto *dashboard = window.findChild<ConfigurationDashboardView *>();
    if (!dashboard)
        return false;
    ConfigCard *cpp = dashboard->cards().value(1);
    cpp->editButton()->click();
    ConfigEditorView *list = cpp->listSheet();
    saved &= save(list, out + QStringLiteral("/configuration-list.png"));
    list->openEditor(0);
    RawXmlFormatterView *editor = list->editorSheet();
    editor->resize(640, 600);
    settleUntil([editor] { return editor->checkLine()->isVisible(); });
    saved &= save(editor, out + QStringLiteral("/configuration-editor.png"));
    editor->reject();
    list->reject();
    return saved;
}

// Notes a team leaves in a C++ engine, for the TODO screen.
void writeNotes(const QString &root)
{
    const std::pair<const char *, const char *> files[] = {
        {"src/render/gpu.cpp", "// TODO: batch the uploads per frame\n"
                               "int upload();\n"
                               "// FIXME: leaks a buffer when the device is lost\n"},
        {"src/render/shaders.cpp", "// TODO: cache compiled shaders on disk\n"},
        {"src/net/socket.cpp", "// FIXME: retry on EINTR\n// TODO: IPv6\n"},
        {"include/engine/api.h", "/* TODO: document the threading rules */\n"},
    };
    for (const auto &[name, text] : files) {
        const QString path = root + u'/' + QLatin1String(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
    }
}

// The TODO screen with the engine's tree open, as after a click on its root and a file; then a
// search that finds nothing.
bool saveTodoScreen(MainWindow &window, const QString &out)
{
    window.mainView()->select(MainView::Entry::todo);
    auto *todo = window.findChild<MarkupsView *>();
    if (!todo)
        return false;
    // The scan of the engine's tree runs in the background; the screen takes it in when it ends.
    settleUntil([todo] { return todo->viewModel().totalMarkups() >= 7; });
    todo->toggle(todo->model().index(0, 0));
    const QModelIndex render = todo->model().index(0, 0, todo->model().index(0, 0));
    for (int row = 0; row < todo->model().rowCount(render); ++row)
        todo->toggle(todo->model().index(row, 0, render));
    bool saved = save(&window, out + QStringLiteral("/todo.png"));
    todo->searchField()->setText(QStringLiteral("vulkan"));
    saved &= save(&window, out + QStringLiteral("/todo-no-match.png"));
    todo->searchField()->clear();
    return saved;
}

// A style written for a newer clang-format, which today's refuses.
const char kNewerStyle[] = "BasedOnStyle: LLVM\nBreakBeforeBraces: Sideways\n";

// Projects with a few sources, a style for each, and their watchers: one that runs, one
// switched off, one whose configuration the formatter refuses, one whose tool is missing.
void makeDemoHome(const QString &home, CoreServices &core)
{
    MonitorRegistry &registry = core.registry();
    ConfigManagerFactory &configurations = core.configurations();
    const struct
    {
        const char *name;
        SupportedFileExtension language;
        const char *file;
        bool active;
        const char *style;
    } projects[] = {
        {"engine", SupportedFileExtension::cpp, "src/engine.cpp", true, kHouseStyle},
        {"android-app", SupportedFileExtension::kotlin, "app/Main.kt", false, kHouseStyle},
        {"legacy-lib", SupportedFileExtension::cpp, "lib/old.cc", true, kNewerStyle},
        {"ios-app", SupportedFileExtension::swift, "App/Main.swift", true, "line_length: 120\n"},
    };
    for (const auto &project : projects) {
        const QString root = home + QStringLiteral("/projects/") + QLatin1String(project.name);
        QDir().mkpath(root + u'/' + QFileInfo(QLatin1String(project.file)).path());
        QFile source(root + u'/' + QLatin1String(project.file));
        if (source.open(QIODevice::WriteOnly))
            source.write("// TODO: split this file\nint   start( ){return    0;}\n");
        if (project.active)
            writeNotes(root);
        const QUuid style = QUuid::createUuid();
        configurations.createConfig(style, QString::fromLatin1(project.style), project.language,
                                    project.style == kHouseStyle ? QStringLiteral("House style")
                                                                 : QStringLiteral("Next style"));
        CodeWatcherModel watcher = CodeWatcherModel::make(
            QLatin1String(project.name), QUrl::fromLocalFile(root + u'/'), project.language, style);
        watcher.isActivated = project.active;
        if (const AddWatcherResult added = registry.addWatcher(watcher); !added)
            qFatal("cannot watch %s: %s", project.name,
                   qPrintable(added.error().error.description));
    }
}

// A working year on the two projects' languages: busy and slow weekdays, a few fixes on some
// weekends, a holiday month in the summer, and some work today, so every shade shows.
void recordDemoFixes(CodeFixStatistics &statistics)
{
    const QDate today = QDate::currentDate();
    QList<DailyFix> fixes;
    for (QDate day = today.addYears(-1); day <= today; day = day.addDays(1)) {
        const qint64 seed = day.toJulianDay();
        const bool weekend = day.dayOfWeek() > 5;
        qint64 cpp = weekend ? (seed % 4 == 0 ? 1 + seed % 3 : 0) : (seed * 37 % 17) - 3;
        qint64 kotlin = weekend ? 0 : (seed * 11 % 7) - 2;
        if (day.month() == 8)
            cpp = kotlin = 0;
        if (day == today)
            cpp = 6;
        if (cpp > 0)
            fixes.append({day.startOfDay(), cpp, QStringLiteral("C++")});
        if (kotlin > 0)
            fixes.append({day.startOfDay(), kotlin, QStringLiteral("Kotlin")});
    }
    statistics.setDailyFixes(fixes);
}

// "Run Fixers" on the engine, so its row shows a run's summary; the other rows' formatters
// have had their say by then.
void runFixersOnTheEngine(CoreServices &core)
{
    bool finished = false;
    const QMetaObject::Connection connection = QObject::connect(
        &core.pipeline(), &FixPipeline::runFinished, [&finished] { finished = true; });
    for (const MonitorEntry &entry : core.registry().monitors()) {
        if (entry.watcher.name != QStringLiteral("engine"))
            continue;
        if (const Result<void> started = core.registry().runFixers(entry.watcher.id); !started)
            qFatal("cannot run the fixers: %s", qPrintable(started.error().description));
    }
    settleUntil([&] {
        bool refused = false;
        for (const MonitorEntry &entry : core.registry().monitors())
            refused |= core.health().status(entry.watcher.id).state ==
                       WatcherStatus::State::configurationRefused;
        return finished && refused;
    });
    QObject::disconnect(connection);
}

// Saves of the last days on two projects, one of them taken back, so the history shows days,
// lone saves and an undone fix beside the engine's run.
void recordEarlierFixes(const QString &home, FixJournal &journal)
{
    struct Earlier
    {
        int daysAgo;
        QTime time;
        const char *project;
        const char *file;
        QByteArray before;
        QByteArray after;
    };
    const Earlier earlier[] = {
        {2,
         {10, 14},
         "android-app",
         "app/src/Main.kt",
         "fun main(){println( \"hi\" )}\n",
         "fun main() {\n    println(\"hi\")\n}\n"},
        {1,
         {9, 31},
         "engine",
         "src/net/socket.cpp",
         "int open_socket( int port ){return port>0?port:-1;}\n",
         "int open_socket(int port) { return port > 0 ? port : -1; }\n"},
        {1,
         {16, 5},
         "engine",
         "include/engine/api.h",
         "// TODO: document the threading rules\n"
         "struct Api{int version;int flags ;};\n",
         "// TODO: document the threading rules\nstruct Api {\n    int version;\n    int "
         "flags;\n};\n"},
    };
    for (const Earlier &fix : earlier) {
        const QDateTime when(QDate::currentDate().addDays(-fix.daysAgo), fix.time);
        journal.setClock([when] { return when; });
        const bool kotlin = QByteArray(fix.file).endsWith(".kt");
        FixOutcome outcome;
        outcome.path =
            home + u"/projects/"_s + QLatin1String(fix.project) + u'/' + QLatin1String(fix.file);
        outcome.result = FixOutcome::Result::changed;
        outcome.language = kotlin ? u"Kotlin"_s : u"C++"_s;
        outcome.tool = kotlin ? u"ktlint"_s : u"clang-format"_s;
        outcome.contentBefore = fix.before;
        outcome.contentAfter = fix.after;
        outcome.digestBefore = QCryptographicHash::hash(fix.before, QCryptographicHash::Sha256);
        outcome.digestAfter = QCryptographicHash::hash(fix.after, QCryptographicHash::Sha256);
        journal.record(outcome, QLatin1String(fix.project), u"House style"_s);
        journal.flush();
    }
    const QList<FixRecord> fixes = journal.fixes();
    if (fixes.size() < 2 || !journal.recordUndo(fixes.at(1)))
        qFatal("cannot record the demo's undo");
    journal.setClock([] { return QDateTime::currentDateTime(); });
}

// The fixes of the engine's run, the newest one's diff shown.
bool saveHistoryScreen(MainWindow &window, CoreServices &core, const QString &out)
{
    core.journal().flush();
    window.mainView()->select(MainView::Entry::history);
    auto *history =
        qobject_cast<HistoryView *>(window.mainView()->screen(MainView::Entry::history));
    history->model()->reload();
    const QList<FixRecord> fixes = core.journal().fixes();
    if (fixes.isEmpty() || !history->selectFix(fixes.first().id))
        qFatal("the engine's run left no fix in the history");
    return save(&window, out + QStringLiteral("/history.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, (home.path() + u'/' + QLatin1String(variable)).toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Sprucer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPRUCER_VERSION));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screens");
    QDir().mkpath(out);

    UserDefaults settings; // in the demo home
    // A stored watcher whose folder is gone (an unplugged disk): restored it cannot be.
    WatcherListStore(settings).save({CodeWatcherModel::make(
        QStringLiteral("backup-disk"), QUrl::fromLocalFile(home.path() + u"/media/backup/"),
        SupportedFileExtension::swift, QUuid::createUuid())});
    CoreServices::Options options;
    options.settings = &settings;
    CoreServices core(Platform::services(), std::move(options));
    makeDemoHome(home.path(), core);
    recordEarlierFixes(home.path(), core.journal());
    recordDemoFixes(core.statistics());
    SprucerApp sprucer(core, PlatformServices{});
    sprucer.launch();
    MainWindow &window = *sprucer.mainWindow();

    bool saved = save(sprucer.onBoardingSheet(), out + QStringLiteral("/onboarding.png"));
    sprucer.onBoardingSheet()->reject();
    runFixersOnTheEngine(core);
    saved &= save(&window, out + QStringLiteral("/watchers.png"));
    const QSize size = window.size();
    window.resize(window.minimumSize()); // the smallest window: every column still on screen
    saved &= save(&window, out + QStringLiteral("/watchers-small.png"));
    window.resize(size);
    window.showSettings();
    saved &= save(window.settingsSheet(), out + QStringLiteral("/settings.png"));
    window.settingsSheet()->accept();
    StatusBarView &popover = sprucer.popover();
    popover.show();
    saved &= save(&popover, out + QStringLiteral("/popover.png"));
    popover.hide();
    ConfigManagerFactory &configurations = core.configurations();
    // A vendored library inside a watched project: the sheet says which watcher keeps what.
    SetupNewWatcherView addSheet(QUrl::fromLocalFile(home.path() + u"/projects/engine/vendor/"),
                                 core.registry(), configurations, &window);
    addSheet.nameField()->setText(QStringLiteral("engine-vendor"));
    addSheet.show();
    saved &= save(&addSheet, out + QStringLiteral("/add-watcher.png"));
    addSheet.reject();
    saved &= saveTodoScreen(window, out);
    window.mainView()->select(MainView::Entry::statistics);
    saved &= save(&window, out + QStringLiteral("/statistics.png"));
    saved &= saveHistoryScreen(window, core, out);
    saved &= saveConfigurationScreens(window, out);
    const QString icon = out + QStringLiteral("/app-icon.png");
    saved &= QApplication::windowIcon().pixmap(128, 128).save(icon);
    QTextStream(stdout) << "wrote " << icon << '\n';
    core.registry().shutdown();
    return saved ? 0 : 1;
}
