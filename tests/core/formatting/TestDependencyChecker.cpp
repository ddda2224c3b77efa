// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/DependencyChecker.h"
#include "core/formatting/DependencyStatusViewModel.h"
#include "support/LogFile.h"
#include "support/StandInTool.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QString hint(const QString &tool)
{
    return tool + u" is not installed. Please install it using:\nbrew install " + tool;
}

} // namespace

class TestDependencyChecker : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString folder(const QString &name) const
    {
        QDir().mkpath(m_root.filePath(name));
        return m_root.filePath(name);
    }

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void resolverTakesTheFirstExecutableFileThenThePath()
    {
        const QString directory = folder(QStringLiteral("a"));
        QDir(directory).mkpath(QStringLiteral("tool"));
        const QString plain = folder(QStringLiteral("b"));
        QFile(plain + QStringLiteral("/tool")).open(QIODevice::WriteOnly);
        const QString dangling = folder(QStringLiteral("c"));
        QFile::link(m_root.filePath(QStringLiteral("nowhere")), dangling + QStringLiteral("/tool"));
        const QString local = folder(QStringLiteral("d")), later = folder(QStringLiteral("e"));
        StandInTool::write(local, QStringLiteral("tool"), QString());
        StandInTool::write(later, QStringLiteral("tool"), QString());

        const auto resolve = [](const QStringList &directories, bool searchPath) {
            return ToolResolver(directories, searchPath).resolve(QStringLiteral("tool"));
        };
        QCOMPARE(resolve({directory, plain, dangling, local, later}, false),
                 local + QStringLiteral("/tool"));
        QCOMPARE(resolve({directory, plain, dangling}, false), std::nullopt);
        // Nothing qualifies: a fix launches the first candidate and fails visibly.
        QCOMPARE(ToolResolver({directory, plain}, false).launchPath(QStringLiteral("tool")),
                 directory + QStringLiteral("/tool"));

        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", later.toUtf8());
        QCOMPARE(resolve({directory}, true), later + QStringLiteral("/tool"));
        QCOMPARE(resolve({directory}, false), std::nullopt);
        qputenv("PATH", savedPath);
    }

    void checkerLogsWhereOrTellsHowToInstall()
    {
        const QString local = folder(QStringLiteral("usr local bin"));
        StandInTool::write(local, QStringLiteral("swiftlint"), QString());
        const DependencyChecker checker(
            ToolResolver({folder(QStringLiteral("opt")), local}, false));

        QCOMPARE(checker.checkDependency(QStringLiteral("swiftlint")), std::nullopt);
        QVERIFY(LogFile::text().endsWith(u"] Found swiftlint at: " + local + u"/swiftlint\n"));
        QCOMPARE(checker.checkDependency(QStringLiteral("ktlint")),
                 DependencyError::notInstalled(hint(QStringLiteral("ktlint"))));
    }

    void viewModelPublishesFlagThenTextOnChangeOnly()
    {
        const QString bin = folder(QStringLiteral("bin"));
        StandInTool::write(bin, QStringLiteral("clang-format"), QString());
        const DependencyChecker checker(ToolResolver({bin}, false));
        DependencyStatusViewModel model(checker);
        QStringList events;
        const auto flag = [&events](const char *name) {
            return [&events, name](bool value) {
                events << QString::fromLatin1(name) + (value ? u"=true" : u"=false");
            };
        };
        const auto text = [&events](const char *name) {
            return [&events, name](const std::optional<QString> &value) {
                events << QString::fromLatin1(name) + u'=' + value.value_or(QStringLiteral("-"));
            };
        };
        using Model = DependencyStatusViewModel;
        connect(&model, &Model::swiftLintInstalledChanged, flag("swift"));
        connect(&model, &Model::swiftLintErrorChanged, text("swiftError"));
        connect(&model, &Model::clangFormatInstalledChanged, flag("clang"));
        connect(&model, &Model::clangFormatErrorChanged, text("clangError"));
        connect(&model, &Model::ktlintInstalledChanged, flag("ktlint"));
        connect(&model, &Model::ktlintFormatErrorChanged, text("ktlintError"));

        model.checkAllDependencies();
        QCOMPARE(events, QStringList({u"swiftError=" + hint(QStringLiteral("swiftlint")),
                                      QStringLiteral("clang=true"),
                                      u"ktlintError=" + hint(QStringLiteral("ktlint"))}));
        QVERIFY(model.clangFormatInstalled() && !model.clangFormatError());

        events.clear();
        model.checkAllDependencies();
        QCOMPARE(events, QStringList());
        QCOMPARE(LogFile::text().count(QStringLiteral("] Found clang-format at: ")), 2);

        QFile::remove(bin + QStringLiteral("/clang-format"));
        StandInTool::write(bin, QStringLiteral("ktlint"), QString());
        model.checkAllDependencies();
        QCOMPARE(events,
                 QStringList({QStringLiteral("clang=false"),
                              u"clangError=" + hint(QStringLiteral("clang-format")),
                              QStringLiteral("ktlint=true"), QStringLiteral("ktlintError=-")}));
    }
};

SPRUCER_TEST_MAIN(TestDependencyChecker)
#include "TestDependencyChecker.moc"
