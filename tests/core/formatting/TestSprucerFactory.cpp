// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/SprucerFactory.h"
#include "core/formatting/ToolFixer.h"
#include "core/stats/CodeFixStatistics.h"
#include "core/support/SprucerLogger.h"
#include "core/watching/CodeWatcherModel.h"
#include "support/FixerProbe.h"
#include "support/TestMain.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

using namespace FixerProbe;

class TestSprucerFactory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_sources;

    CodeWatcherModel watcher(SupportedFileExtension kind, const QString &configText) const
    {
        const QUuid id = QUuid::createUuid();
        ConfigManagerFactory().createConfig(id, configText, kind, QStringLiteral("mine"));
        return CodeWatcherModel::make(QStringLiteral("w"), QUrl::fromLocalFile(m_sources.path()),
                                      kind, id);
    }

    // Formats `text` with the real tool on a worker thread, as the processing pipeline does.
    QString fixWithRealTool(const CodeWatcherModel &watcher, const char *name, const char *text)
    {
        const QString path = m_sources.filePath(QString::fromLatin1(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0)
            return {};
        file.close();
        const auto fixer = SprucerFactory().makeFixer(watcher);
        std::unique_ptr<QThread> worker(
            QThread::create([&] { fixer.value()->fix(QUrl::fromLocalFile(path)); }));
        worker->start();
        return worker->wait(60000) ? fileText(path) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Configuration files then live in a folder whose name holds a space, as on macOS.
        qputenv("XDG_DATA_HOME",
                (TestHome::current().path() + u"/Library/Application Support").toUtf8());
    }

    void init()
    {
        SprucerLogger::shared().flush();
        TestHome::current().reset();
        CodeFixStatistics::shared().setDailyFixes({});
    }

    void missingConfigurationGivesTheStoreError()
    {
        CodeWatcherModel orphan = watcher(SupportedFileExtension::cpp, QString());
        orphan.configurationId = QUuid::createUuid();
        const auto fixer = SprucerFactory().makeFixer(orphan);
        QVERIFY(!fixer);
        QCOMPARE(fixer.error(), ConfigManagerFactory::notFoundError());
    }

    void eachLanguageGetsItsToolAndConfiguration()
    {
        const QString tools = m_sources.filePath(QStringLiteral("tools"));
        const SprucerFactory factory(ToolResolver({tools}, false));
        const QStringList expectedTools = {
            QStringLiteral("swiftlint"), QStringLiteral("clang-format"),
            QStringLiteral("clang-format"), QStringLiteral("ktlint")};
        for (SupportedFileExtension kind : SupportedFileExtensions::allCases()) {
            const CodeWatcherModel model = watcher(kind, QStringLiteral("text"));
            const auto made = factory.makeFixer(model);
            QVERIFY(made);
            const auto &fixer = dynamic_cast<const ToolFixer &>(*made.value());
            QCOMPARE(fixer.language(), SupportedFileExtensions::displayName(kind));
            QCOMPARE(fixer.configURL(),
                     ConfigManagerFactory().configURL(model.configurationId).value());
            QCOMPARE(fixer.toolPath(), tools + u'/' + expectedTools[int(kind)]);
        }
    }

    void realClangFormatFormatsInPlace()
    {
        const CodeWatcherModel cpp = watcher(
            SupportedFileExtension::cpp, QStringLiteral("BasedOnStyle: LLVM\nIndentWidth: 8\n"));
        QVERIFY(ConfigManagerFactory()
                    .configURL(cpp.configurationId)
                    .value()
                    .toLocalFile()
                    .contains(QStringLiteral("/Application Support/Sprucer/")));
        QCOMPARE(fixWithRealTool(cpp, "Bad.cpp", "int   main( ) {\nint x=1;   return x; }\n"),
                 QStringLiteral("int main() {\n        int x = 1;\n        return x;\n}\n"));
        QTRY_COMPARE(fixCount(QStringLiteral("C++")), 1);
        QVERIFY(!logText().contains(QStringLiteral("clang-format")));
    }

    void realKtlintFormatsInPlace()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ktlint")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("java")).isEmpty())
            QSKIP("ktlint (and the Java it runs on) is not installed");
        const CodeWatcherModel kotlin =
            watcher(SupportedFileExtension::kotlin,
                    QStringLiteral("root = true\n[*.{kt,kts}]\nindent_size = 4\n"));
        QCOMPARE(
            fixWithRealTool(kotlin, "Main.kt", "fun  main( ) {\n  val x=1\n    println(x)\n}\n"),
            QStringLiteral("fun main() {\n    val x = 1\n    println(x)\n}\n"));
        QTRY_COMPARE(fixCount(QStringLiteral("Kotlin")), 1);
    }
};

SPRUCER_TEST_MAIN(TestSprucerFactory)
#include "TestSprucerFactory.moc"
