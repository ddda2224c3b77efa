// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/ByteScan.h"
#include "core/markups/MarkupWatcher.h"
#include "core/markups/Utf8MarkupScanner.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cstring>
#include <optional>

namespace {

const QString kPath = QStringLiteral("/src/file.swift");

// line:TYPE:text, one per finding, joined by '|': compact to write and readable when it fails.
QString describe(const MarkupList &markups)
{
    QStringList parts;
    for (const Markup &markup : markups)
        parts << QStringLiteral("%1:%2:%3").arg(markup.line).arg(markup.type, markup.text);
    return parts.join(u'|');
}

// The definition the scanners must agree with: the expression applied to each line.
QString reference(const QString &content)
{
    static const QRegularExpression lineBreak(
        QStringLiteral("[\\n\\x{0B}\\f\\r\\x{85}\\x{2028}\\x{2029}]"));
    static const QRegularExpression pattern(QStringLiteral("(TODO|FIXME):\\s*(.+)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    QStringList parts;
    const QStringList lines = content.split(lineBreak);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = pattern.match(lines[i]);
        if (match.hasMatch())
            parts << QStringLiteral("%1:%2:%3")
                         .arg(i + 1)
                         .arg(match.captured(1), match.captured(2).trimmed());
    }
    return parts.join(u'|');
}

// Feeds `bytes` to a byte scanner in pieces of random size (whole chunks when `random` is
// null); nullopt when the scanner rejects the text.
std::optional<MarkupList> scanBytes(QByteArrayView bytes, qsizetype chunkSize,
                                    QRandomGenerator *random = nullptr)
{
    Utf8MarkupScanner scanner(chunkSize);
    for (qsizetype at = 0; at < bytes.size();) {
        const std::span<char> space = scanner.freeSpace();
        qsizetype count = std::min(qsizetype(space.size()), bytes.size() - at);
        if (random)
            count = 1 + random->bounded(count);
        std::memcpy(space.data(), bytes.data() + at, std::size_t(count));
        at += count;
        if (!scanner.commit(count))
            return std::nullopt;
    }
    if (!scanner.finish())
        return std::nullopt;
    return scanner.takeMarkups(kPath);
}

bool qtFindsUtf8Valid(const QByteArray &bytes)
{
    // Stateless: a sequence cut short by the end is an error, not something to wait for.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    Q_UNUSED(decoded);
    return !decoder.hasError();
}

QString randomText(QRandomGenerator &random)
{
    static const QStringList tokens = {
        QStringLiteral("TODO"),   QStringLiteral("FIXME"),  QStringLiteral(":"),
        QStringLiteral("TODO:"),  QStringLiteral("FIXME:"), QStringLiteral("DO:"),
        QStringLiteral("ME:"),    QStringLiteral("O"),      QStringLiteral(" "),
        QStringLiteral("\t"),     QStringLiteral("x"),      QStringLiteral("todo:"),
        QStringLiteral("\u00a0"), QStringLiteral("\u3000"), QStringLiteral("\u200b"),
        QStringLiteral("é"),      QStringLiteral("😀"),      QStringLiteral("\n"),
        QStringLiteral("\r"),     QStringLiteral("\r\n"),   QStringLiteral("\x0b"),
        QStringLiteral("\f"),     QStringLiteral("\u0085"), QStringLiteral("\u2028"),
        QStringLiteral("\u2029"), QString(37, u'a'),        QString(70, u'b'),
    };
    QString text;
    const int count = random.bounded(60);
    for (int i = 0; i < count; ++i)
        text += tokens[random.bounded(tokens.size())];
    return text;
}

} // namespace

class TestMarkupPattern : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsOneMarkupPerLine_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &content, const QString &expected) {
            QTest::newRow(name) << content << expected;
        };
        row("comment", QStringLiteral("// TODO: refactor"), QStringLiteral("1:TODO:refactor"));
        row("no space", QStringLiteral("FIXME:fix"), QStringLiteral("1:FIXME:fix"));
        row("colon ends line", QStringLiteral("let x = 1 // TODO:\nnext"), QString());
        row("only spaces", QStringLiteral("TODO:   "), QStringLiteral("1:TODO:"));
        row("lower case", QStringLiteral("todo: x\nTodo: x"), QString());
        row("no colon", QStringLiteral("TODO x\nTODO : x"), QString());
        row("inside a word", QStringLiteral("XTODO: y"), QStringLiteral("1:TODO:y"));
        row("first wins", QStringLiteral("// TODO: a FIXME: b"),
            QStringLiteral("1:TODO:a FIXME: b"));
        row("fixme first", QStringLiteral("s = \"FIXME: a TODO: b\""),
            QStringLiteral("1:FIXME:a TODO: b\""));
        row("keyword runs together", QStringLiteral("FIXMTODO: z\nTODOFIXME: w"),
            QStringLiteral("1:TODO:z|2:FIXME:w"));
        row("double colon", QStringLiteral("TODO::"), QStringLiteral("1:TODO::"));
        row("crlf", QStringLiteral("a\r\nTODO: b\r\nFIXME: c\r\n"),
            QStringLiteral("3:TODO:b|5:FIXME:c"));
        row("every break",
            QStringLiteral("\nTODO: 2\x0bTODO: 3\fTODO: 4\rTODO: 5\u0085TODO: 6"
                           "\u2028TODO: 7\u2029TODO: 8"),
            QStringLiteral("2:TODO:2|3:TODO:3|4:TODO:4|5:TODO:5|6:TODO:6|7:TODO:7|8:TODO:8"));
        row("trims space separators", QStringLiteral("TODO:\u3000\u00a0 text\t \u2003"),
            QStringLiteral("1:TODO:text"));
        row("keeps other format characters", QStringLiteral("TODO: a\u200b"),
            QStringLiteral("1:TODO:a\u200b"));
        row("non-ASCII text", QStringLiteral("// FIXME: café ☕ 𝄞 "),
            QStringLiteral("1:FIXME:café ☕ 𝄞"));
        row("empty", QString(), QString());
    }

    void findsOneMarkupPerLine()
    {
        QFETCH(QString, content);
        QFETCH(QString, expected);
        QCOMPARE(reference(content), expected); // the expectation itself follows the pattern
        QCOMPARE(describe(MarkupWatcher::findMarkups(content, kPath)), expected);
        const auto whole = scanBytes(content.toUtf8(), Utf8MarkupScanner::kDefaultChunkSize);
        QVERIFY(whole);
        QCOMPARE(describe(*whole), expected);
        QRandomGenerator random(7);
        const auto pieces = scanBytes(content.toUtf8(), 16, &random);
        QVERIFY(pieces);
        QCOMPARE(describe(*pieces), expected);
    }

    void findingsCarryPathFreshIdsAndAreNotFixed()
    {
        const MarkupList markups =
            MarkupWatcher::findMarkups(QStringLiteral("TODO: a\nTODO: a"), kPath);
        QCOMPARE(markups.size(), 2);
        QVERIFY(!markups[0].id.isNull());
        QVERIFY(markups[0].id != markups[1].id);
        for (const Markup &markup : markups) {
            QCOMPARE(markup.filePath, kPath);
            QVERIFY(!markup.fixed);
        }
    }

    void vowelSeparatorIsNotWhiteSpace()
    {
        // U+180E left the space separators in Unicode 6.3, so trimming keeps it. (The Perl-style
        // "\s" of the reference engine still counts it, hence no comparison with it here.)
        const QString content = QStringLiteral("TODO:\u180ex");
        QCOMPARE(describe(MarkupWatcher::findMarkups(content, kPath)),
                 QStringLiteral("1:TODO:\u180ex"));
        QCOMPARE(describe(*scanBytes(content.toUtf8(), 16)), QStringLiteral("1:TODO:\u180ex"));
    }

    void bothScannersMatchTheExpressionOnRandomText()
    {
        QRandomGenerator random(20240611);
        for (int i = 0; i < 4000; ++i) {
            const QString content = randomText(random);
            const QString expected = reference(content);
            QCOMPARE(describe(MarkupWatcher::findMarkups(content, kPath)), expected);
            const qsizetype chunk = 16 + random.bounded(48);
            const auto bytes = scanBytes(content.toUtf8(), chunk, &random);
            QVERIFY(bytes);
            QCOMPARE(describe(*bytes), expected);
        }
    }

    void byteScannerHandlesEveryChunkBoundary()
    {
        // Keywords, colons, multi-byte breaks and text cut at every possible place.
        const QString tail = QStringLiteral("FIXME: é\u2028TODO:\r\nTODO: 😀 x\u0085TODO: end");
        for (int padding = 0; padding < 40; ++padding) {
            const QString content = QString(padding, u'a') + tail;
            const QString expected = describe(MarkupWatcher::findMarkups(content, kPath));
            QCOMPARE(expected, reference(content));
            for (const qsizetype chunk : {16, 17, 19}) {
                const auto found = scanBytes(content.toUtf8(), chunk);
                QVERIFY(found);
                QCOMPARE(describe(*found), expected);
            }
        }
    }

    void markupLineLongerThanAChunk()
    {
        const QString longText = QString(1000, u'z') + QStringLiteral(" é");
        const QString content = QStringLiteral("one\nx TODO: ") + longText +
                                QStringLiteral("\nthree\r\nFIXME:") + QString(100, u' ') +
                                QStringLiteral("\nsix FIXME:");
        const QString expected = QStringLiteral("2:TODO:") + longText + QStringLiteral("|5:FIXME:");
        QCOMPARE(reference(content), expected);
        QCOMPARE(describe(*scanBytes(content.toUtf8(), 64)), expected);
    }

    void utf8ValidationAgreesWithQt_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("plain") << true;
        QTest::newRow("two bytes") << QByteArray("caf\xc3\xa9") << true;
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
        QTest::newRow("last code point") << QByteArray("\xf4\x8f\xbf\xbf") << true;
        QTest::newRow("noncharacter") << QByteArray("\xef\xbf\xbe") << true;
        QTest::newRow("nul") << QByteArray("a\0b", 3) << true;
        QTest::newRow("latin-1") << QByteArray("caf\xe9 ") << false;
        QTest::newRow("stray continuation") << QByteArray("\x80") << false;
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf") << false;
        QTest::newRow("overlong four") << QByteArray("\xf0\x80\x80\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
        QTest::newRow("lead F5") << QByteArray("\xf5\x80\x80\x80") << false;
        QTest::newRow("cut short at end") << QByteArray("ok \xe2\x82") << false;
        QTest::newRow("cut short mid") << QByteArray("\xe2\x82 ok") << false;
        QTest::newRow("late in a long run") << QByteArray(200, 'a') + "\xff" << false;
    }

    void utf8ValidationAgreesWithQt()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(qtFindsUtf8Valid(bytes), valid);
        QCOMPARE(ByteScan::isValidUtf8(bytes.cbegin(), bytes.cend()), valid);
        QCOMPARE(scanBytes(bytes, 16).has_value(), valid);
    }

    void utf8ValidationAgreesWithQtOnRandomBytes()
    {
        // Mostly well-formed pieces with the odd damaged one, placed at random offsets so the
        // vector loop and the chunk boundaries both see them.
        static const QList<QByteArray> pieces = {
            QByteArray(20, 'a'), "b",        "\xc3\xa9",     "\xe2\x80\xa8", "\xf0\x9f\x98\x80",
            "\xef\xbf\xbd",      "\x80",     "\xc2",         "\xe0\xa0",     "\xed\xa0\x80",
            "\xf4\x90\x80\x80",  "\xc1\xbf", "\xf0\x8f\xbf", "\xff",
        };
        QRandomGenerator random(99);
        int invalid = 0;
        for (int i = 0; i < 5000; ++i) {
            QByteArray bytes;
            const int count = random.bounded(30);
            for (int j = 0; j < count; ++j) {
                const int pick =
                    random.bounded(100) < 97 ? random.bounded(6) : random.bounded(pieces.size());
                bytes += pieces[pick];
            }
            const bool valid = qtFindsUtf8Valid(bytes);
            invalid += valid ? 0 : 1;
            QCOMPARE(ByteScan::isValidUtf8(bytes.cbegin(), bytes.cend()), valid);
            QCOMPARE(scanBytes(bytes, 16, &random).has_value(), valid);
        }
        QVERIFY(invalid > 500); // the damaged pieces did get exercised
    }
};

SPRUCER_TEST_MAIN(TestMarkupPattern)
#include "TestMarkupPattern.moc"
