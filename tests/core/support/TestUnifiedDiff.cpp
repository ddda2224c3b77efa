// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UnifiedDiff.h"
#include "support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QByteArray numbered(int count, const QByteArray &ending = "\n")
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + ending;
    return text;
}

// Code as a formatter finds it and leaves it: braces, blank lines and repeated lines.
const QByteArray kCode = "#include <a>\n\nnamespace n {\nint f(int a){\n  if(a){\n    return 1;\n"
                         "  }\n  return 0;\n}\n\nint g(int b){\n  if(b){\n    return 2;\n  }\n"
                         "  return 0;\n}\n}\n";
const QByteArray kFormatted = "#include <a>\n\nnamespace n {\nint f(int a) {\n  if (a) {\n"
                              "    return 1;\n  }\n  return 0;\n}\n\nint g(int b) {\n  if (b) {\n"
                              "    return 2;\n  }\n  return 0;\n}\n} // namespace n\n";

} // namespace

// The diff of two versions, against what `diff -u` itself writes for them.
class TestUnifiedDiff : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QByteArray diffTool(const QByteArray &before, const QByteArray &after, const QString &label)
    {
        const QString a = m_dir.filePath(u"before"_s), b = m_dir.filePath(u"after"_s);
        for (const auto &[path, bytes] : {std::pair(a, before), std::pair(b, after)}) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", qPrintable(path));
        }
        QProcess diff;
        diff.start(u"diff"_s,
                   {u"-u"_s, u"--label"_s, u"a/"_s + label, u"--label"_s, u"b/"_s + label, a, b});
        if (!diff.waitForFinished(30000) || diff.exitCode() > 1)
            qFatal("diff failed");
        return diff.readAllStandardOutput();
    }

private Q_SLOTS:
    void matchesTheDiffTool_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray ten = numbered(10);
        QTest::newRow("the same") << ten << ten;
        QTest::newRow("first line") << ten << "changed\n" + ten.mid(7);
        QTest::newRow("lines added at the start") << ten << "new 1\nnew 2\n" + ten;
        QTest::newRow("last line") << ten << ten.left(ten.size() - 8) + "changed\n";
        QTest::newRow("lines removed at the end") << ten << ten.left(ten.size() - 17);
        QTest::newRow("newline added at the end") << QByteArray("a\nb") << QByteArray("a\nb\n");
        QTest::newRow("newline lost at the end") << numbered(8) << numbered(8).chopped(1);
        QTest::newRow("last line without newline changed")
            << QByteArray("a\nb\nc") << QByteArray("a\nb\nd");
        QTest::newRow("kept last line without newline")
            << QByteArray("x\na\nb") << QByteArray("y\na\nb");
        QTest::newRow("from empty") << QByteArray() << QByteArray("a\nb\n");
        QTest::newRow("to empty") << QByteArray("a\nb\nc\n") << QByteArray();
        QTest::newRow("one line to empty") << QByteArray("a") << QByteArray();
        QTest::newRow("CRLF endings") << numbered(9, "\r\n") << numbered(9);
        QByteArray crlf = numbered(9, "\r\n");
        QTest::newRow("CRLF line changed") << crlf << crlf.replace("line 5\r\n", "line 5\n");
        // Contexts of 3 lines touch across 6 unchanged lines, not across 7.
        QByteArray six = numbered(20), seven = numbered(20);
        QTest::newRow("six lines apart")
            << six << six.replace("line 3\n", "x\n").replace("line 10\n", "y\n");
        QTest::newRow("seven lines apart")
            << seven << seven.replace("line 3\n", "x\n").replace("line 11\n", "y\n");
        // Of the equally short ways, the one diff shows: changes slid together.
        QTest::newRow("repeated line") << QByteArray("a\nb\nc\n") << QByteArray("b\nb\n");
        QTest::newRow("repeated lines") << QByteArray("a\na\nb\n") << QByteArray("c\na\nc\n");
        QTest::newRow("repeated, slid down") << QByteArray("b\nc\n") << QByteArray("c\nc\na\n");
        QTest::newRow("code formatted") << kCode << kFormatted;
        QByteArray inserted = kFormatted;
        inserted.insert(inserted.indexOf("int g"), "int h() {\n  return 0;\n}\n\n");
        QTest::newRow("function inserted") << kFormatted << inserted;
        QTest::newRow("function removed") << inserted << kFormatted;
        QTest::newRow("code unformatted") << kFormatted << kCode;
        QByteArray large = numbered(3000), scattered;
        QRandomGenerator random(7);
        for (const QByteArray &line : large.split('\n')) {
            const quint32 roll = random.bounded(100);
            if (line.isEmpty() || roll == 0)
                continue; // removed
            scattered += (roll == 1 ? "changed " + line : line) + '\n';
            if (roll == 2)
                scattered += "added after " + line + '\n';
        }
        QTest::newRow("large, scattered changes") << large << scattered;
        QTest::newRow("large, all different") << numbered(4000) << numbered(4000, "x\n");
    }

    void matchesTheDiffTool()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString label = u"src/dír/fïle name.cpp"_s;
        QCOMPARE(UnifiedDiff::of(before, after, label), diffTool(before, after, label));
    }
};

SPRUCER_TEST_MAIN(TestUnifiedDiff)
#include "TestUnifiedDiff.moc"
