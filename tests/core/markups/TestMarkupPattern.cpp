// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/ByteScan.h"
#include "core/markups/MarkupWatcher.h"
#include "core/markups/Utf8MarkupScanner.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
#include <QStringDecoder>

#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kPath = u"/src/file.swift"_s;

// Overlong forms, surrogates, code points past U+10FFFF, stray and missing continuations.
const QList<QByteArray> kDamaged =
    QByteArray("\x80|\xc2|\xe0\xa0|\xc0\xaf|\xc1\xbf|\xe0\x80\xaf|\xf0\x80\x80\xaf|\xf0\x8f\xbf|"
               "\xed\xa0\x80|\xf4\x90\x80\x80|\xf5\x80\x80\x80|\xff|\xe9")
        .split('|');
// "line:TYPE:text" per finding, joined by '|': compact to write and readable when it fails.
// A finding without a fresh id and the file's path, or marked fixed, shows as "!".
QString describe(const std::optional<MarkupList> &markups)
{
    if (!markups)
        return u"<not UTF-8>"_s;
    QStringList parts;
    for (const Markup &markup : *markups)
        parts << u"%1:%2:%3"_s.arg(markup.line).arg(markup.type, markup.text) +
                     (markup.id.isNull() || markup.filePath != kPath || markup.fixed ? u"!"_s
                                                                                     : u""_s);
    return parts.join(u'|');
}

// The byte scanner's findings, the bytes written into its buffer as they fit.
std::optional<MarkupList> scanBytes(QByteArrayView bytes, qsizetype chunkSize)
{
    Utf8MarkupScanner scanner(chunkSize);
    for (qsizetype count = 0; !bytes.isEmpty(); bytes = bytes.sliced(count)) {
        count = std::min(qsizetype(scanner.freeSpace().size()), bytes.size());
        std::memcpy(scanner.freeSpace().data(), bytes.data(), std::size_t(count));
        if (!scanner.commit(count))
            return std::nullopt;
    }
    if (!scanner.finish())
        return std::nullopt;
    return scanner.takeMarkups(kPath);
}

} // namespace

class TestMarkupPattern : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bothScannersFindOneMarkupPerLine_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char16_t *content, const char16_t *expected) {
            QTest::newRow(name) << QString::fromUtf16(content) << QString::fromUtf16(expected);
        };
        row("keyword and colon",
            u"// TODO: refactor\nFIXME:fix\ntodo: x\nTodo: x\nTODO x\nTODO : x\nXTODO: y",
            u"1:TODO:refactor|2:FIXME:fix|7:TODO:y");
        row("first match wins", u"TODO: a FIXME: b\n\"FIXME: a TODO: b\"\nFIXMTODO: z\nTODOFIXME::",
            u"1:TODO:a FIXME: b|2:FIXME:a TODO: b\"|3:TODO:z|4:FIXME::");
        row("colon ends the line", u"x // TODO:\nnext TODO:", u"");
        row("only spaces", u"TODO:   ", u"1:TODO:");
        row("block comment's end",
            u"/* TODO: a */\n/* FIXME: b*/\t\n/* TODO:*/\nTODO: c */ d\n/** TODO: e **/\nTODO: f/",
            u"1:TODO:a|2:FIXME:b|3:TODO:|4:TODO:c */ d|5:TODO:e|6:TODO:f/");
        row("crlf is two breaks", u"a\r\nTODO: b\r\nFIXME: c\r\n", u"3:TODO:b|5:FIXME:c");
        row("every break",
            u"\nTODO: 2\vTODO: 3\fTODO: 4\rTODO: 5\u0085TODO: 6\u2028TODO: 7\u2029TODO: 8",
            u"2:TODO:2|3:TODO:3|4:TODO:4|5:TODO:5|6:TODO:6|7:TODO:7|8:TODO:8");
        row("trims space separators", u"TODO:\u3000\u00a0 text\t \u2003", u"1:TODO:text");
        // U+180E left the space separators in Unicode 6.3.
        row("keeps format characters", u"TODO: a\u200b\nTODO:\u180ex",
            u"1:TODO:a\u200b|2:TODO:\u180ex");
        row("non-ASCII text", u"// FIXME: café ☕ 𝄞 ", u"1:FIXME:café ☕ 𝄞");
        row("empty", u"", u"");
    }

    void bothScannersFindOneMarkupPerLine()
    {
        QFETCH(QString, content);
        QFETCH(QString, expected);
        const MarkupList found = MarkupWatcher::findMarkups(content, kPath);
        QCOMPARE(describe(found), expected);
        QVERIFY(found.size() < 2 || found[0].id != found[1].id);
        QCOMPARE(describe(scanBytes(content.toUtf8(), Utf8MarkupScanner::kDefaultChunkSize)),
                 expected);
        // Leading text moves every keyword, colon and break across the chunk boundaries.
        for (int padding = 0; padding < 20; ++padding)
            QCOMPARE(
                describe(scanBytes(QByteArray(QByteArray(padding, 'a') + content.toUtf8()), 16)),
                expected);
    }

    void byteScannerAgreesWithQtAndTheTextScannerOnRandomBytes()
    {
        // Keywords, breaks, multi-byte characters (U+0080, U+D7FF, a noncharacter, U+10FFFF)
        // and the odd damaged sequence, in chunks of random size.
        const QList<QByteArray> pieces =
            QByteArray(
                "TODO|FIXME|:|DO:|ME:| |\t|x|\u00a0|\u3000|\n|\r|\v|\u0085|\u2028|\u2029|\xc2\x80|"
                "\xed\x9f\xbf|\xef\xbf\xbe|\xf4\x8f\xbf\xbf")
                .split('|') +
            QList<QByteArray>{QByteArray(1, '\0'), QByteArray(37, 'a'), QByteArray(70, 'b')};
        QRandomGenerator random(20240611);
        for (int i = 0; i < 5000; ++i) {
            QByteArray bytes;
            for (int n = random.bounded(60); n > 0; --n)
                bytes += random.bounded(100) < 99 ? pieces[random.bounded(pieces.size())]
                                                  : kDamaged[random.bounded(kDamaged.size())];
            // Stateless: a sequence cut short by the end is an error, not something to wait for.
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = decoder(bytes);
            QCOMPARE(ByteScan::isValidUtf8(bytes.cbegin(), bytes.cend()), !decoder.hasError());
            QCOMPARE(describe(scanBytes(bytes, 16 + random.bounded(48))),
                     describe(decoder.hasError()
                                  ? std::nullopt
                                  : std::optional(MarkupWatcher::findMarkups(text, kPath))));
        }
    }
};

SPRUCER_TEST_MAIN(TestMarkupPattern)
#include "TestMarkupPattern.moc"
