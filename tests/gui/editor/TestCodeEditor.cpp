// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/editor/CodeEditor.h"
#include "gui/editor/EditorTheme.h"
#include "support/GuiTestMain.h"

#include <QDropEvent>
#include <QFontDatabase>
#include <QMimeData>
#include <QSignalSpy>
#include <Qsci/qscilexerproperties.h>
#include <Qsci/qscilexerxml.h>
#include <Qsci/qscilexeryaml.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

double luminance(const QColor &colour)
{
    auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double lighter = std::max(luminance(a), luminance(b));
    const double darker = std::min(luminance(a), luminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

// Scintilla answers colours as 0xBBGGRR.
QColor styleColour(const CodeEditor &editor, unsigned message, int style)
{
    const long bgr = editor.SendScintilla(message, static_cast<unsigned long>(style));
    return QColor(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff);
}

// The styles the editor paints the text with: the lexer's, or the plain text one.
QList<int> textStyles(const CodeEditor &editor)
{
    if (!editor.lexer())
        return {0, QsciScintillaBase::STYLE_DEFAULT};
    QList<int> styles{QsciScintillaBase::STYLE_DEFAULT};
    for (int style = 0; style < 128; ++style) {
        if (!editor.lexer()->description(style).isEmpty())
            styles << style;
    }
    return styles;
}

// Shift asks for a move, which the editor must turn into a copy. The action taken, if any.
template <typename DragEvent>
Qt::DropAction send(CodeEditor &editor, const QMimeData &mime,
                    Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    DragEvent event(QPoint(200, 10), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(editor.viewport(), &event);
    return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
}

} // namespace

class TestCodeEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The owner's text comes in silently and undoably; the user's edits go out whole.
    void theTextIsBoundBothWays()
    {
        CodeEditor editor;
        editor.show();
        QSignalSpy edited(&editor, &CodeEditor::textEdited);
        QSignalSpy changed(&editor, &QsciScintilla::textChanged);

        editor.setText(u"opened: 0\n"_s);
        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.text(), u"opened: 0\n"_s);
        editor.setText(u"a: 1\n"_s);
        QCOMPARE(editor.text(), u"a: 1\n"_s);
        QCOMPARE(edited.count(), 0);
        const auto changes = changed.count();
        editor.setText(u"a: 1\n"_s);
        QCOMPARE(changed.count(), changes);

        editor.setCursorPosition(1, 0);
        QTest::keyClicks(&editor, u"b: 2"_s);
        QCOMPARE(editor.text(), u"a: 1\nb: 2"_s);
        QCOMPARE(edited.last().value(0).toString(), u"a: 1\nb: 2"_s);

        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.text(), u"a: 1\n"_s);
        QCOMPARE(edited.last().value(0).toString(), u"a: 1\n"_s);
        // The owner's text was one step, not a deletion and an insertion.
        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.text(), u"opened: 0\n"_s);
        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor.text(), u"a: 1\n"_s);
        QTest::keyClick(&editor, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(editor.text(), u"a: 1\nb: 2"_s);

        const QString unicode = u"name: \u00e4\u00df \u6f22\u5b57 \U0001F600\n"_s;
        editor.setText(unicode);
        QCOMPARE(editor.text(), unicode);

        editor.setReadOnly(true);
        editor.setText(u"read: only\n"_s);
        QCOMPARE(editor.text(), u"read: only\n"_s);
        QVERIFY(editor.isReadOnly());
        QTest::keyClicks(&editor, u"x"_s);
        QCOMPARE(editor.text(), u"read: only\n"_s);
    }

    // Each language name picks its lexer, themed at once; others are plain text.
    void aLanguageNamePicksItsColouring()
    {
        CodeEditor editor;
        const EditorTheme ocean = EditorTheme::ocean();
        QCOMPARE(editor.theme(), u"ocean"_s);
        QVERIFY(!editor.lexer());

        editor.setLanguage(u"yaml"_s);
        QVERIFY(qobject_cast<QsciLexerYAML *>(editor.lexer()));
        QCOMPARE(editor.lexer()->color(QsciLexerYAML::Comment), ocean.comment);
        QCOMPARE(editor.lexer()->paper(QsciLexerYAML::Identifier), ocean.background);
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        QCOMPARE(editor.lexer()->font(QsciLexerYAML::Comment).family(), fixed.family());
        editor.setLanguage(u"editorconfig"_s);
        QVERIFY(qobject_cast<QsciLexerProperties *>(editor.lexer()));
        QCOMPARE(editor.lexer()->color(QsciLexerProperties::Key), ocean.key);
        editor.setLanguage(u"INI"_s);
        QCOMPARE(editor.language(), u"ini"_s);
        editor.setLanguage(u"xml"_s);
        QVERIFY(qobject_cast<QsciLexerXML *>(editor.lexer()));
        QCOMPARE(editor.lexer()->color(QsciLexerXML::Tag), ocean.keyword);

        editor.setLanguage(u"cobol"_s);
        QVERIFY(!editor.lexer());
        QCOMPARE(editor.language(), QString());
        QCOMPARE(styleColour(editor, QsciScintillaBase::SCI_STYLEGETBACK, 0), ocean.background);

        QVERIFY(!editor.setTheme(u"no such theme"_s));
        QCOMPARE(editor.theme(), u"ocean"_s);
    }

    // Every style of every language reads at 4.5:1 on the background and on the current line.
    void theOceanThemeIsReadable()
    {
        CodeEditor editor;
        const EditorTheme ocean = EditorTheme::ocean();
        for (const QString &language : {u"plain"_s, u"yaml"_s, u"ini"_s, u"xml"_s}) {
            editor.setLanguage(language);
            for (const int style : textStyles(editor)) {
                const QColor fore = styleColour(editor, QsciScintillaBase::SCI_STYLEGETFORE, style);
                const QColor back = styleColour(editor, QsciScintillaBase::SCI_STYLEGETBACK, style);
                const QString name = language + u' ' + QString::number(style);
                QVERIFY2(back == ocean.background, qPrintable(name));
                const double ratio =
                    std::min(contrast(fore, back), contrast(fore, ocean.currentLine));
                QVERIFY2(ratio >= 4.5, qPrintable(name + u": "_s + QString::number(ratio)));
            }
        }
        const int numbers = QsciScintillaBase::STYLE_LINENUMBER;
        QVERIFY(contrast(styleColour(editor, QsciScintillaBase::SCI_STYLEGETFORE, numbers),
                         styleColour(editor, QsciScintillaBase::SCI_STYLEGETBACK, numbers)) >= 4.5);
        QVERIFY(contrast(ocean.selectionText, ocean.selectionBackground) >= 4.5);

        // Keys, values and comments, most of a configuration, are told apart at a glance.
        const auto apart = [](const QColor &a, const QColor &b) {
            return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue()) >= 80;
        };
        QVERIFY(apart(ocean.key, ocean.text));
        QVERIFY(apart(ocean.key, ocean.comment));
        QVERIFY(apart(ocean.text, ocean.comment));
    }

    // A dragged file lights the editor up and is handed over on drop; text drags stay text.
    void filesDroppedAreHandedOverNotInserted()
    {
        CodeEditor editor;
        editor.resize(400, 300);
        editor.show();
        editor.setText(u"kept: true\n"_s);
        QVERIFY(editor.viewport()->acceptDrops());
        QSignalSpy hover(&editor, &CodeEditor::dropHoverChanged);
        QSignalSpy dropped(&editor, &CodeEditor::fileDropped);
        const QUrl first = QUrl::fromLocalFile(u"/tmp/first.yaml"_s);
        QMimeData files;
        files.setUrls({first, QUrl::fromLocalFile(u"/tmp/second.yaml"_s)});

        QVERIFY(send<QDragEnterEvent>(editor, files));
        QVERIFY(editor.isDropHovering());
        QVERIFY(send<QDragMoveEvent>(editor, files));
        QDragLeaveEvent leave;
        QApplication::sendEvent(editor.viewport(), &leave);
        QVERIFY(!editor.isDropHovering());
        QCOMPARE(hover.count(), 2);

        send<QDragEnterEvent>(editor, files);
        QCOMPARE(send<QDropEvent>(editor, files), Qt::CopyAction);
        QVERIFY(!editor.isDropHovering());
        QCOMPARE(hover.count(), 4);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.last().value(0).toUrl(), first);
        QCOMPARE(editor.text(), u"kept: true\n"_s);

        QCOMPARE(send<QDragEnterEvent>(editor, files, Qt::MoveAction), Qt::IgnoreAction);
        QCOMPARE(send<QDropEvent>(editor, files, Qt::MoveAction), Qt::IgnoreAction);
        QMimeData web;
        web.setUrls({QUrl(u"https://example.com/a.yaml"_s)});
        send<QDragEnterEvent>(editor, web);
        editor.setReadOnly(true);
        send<QDragEnterEvent>(editor, files);
        editor.setReadOnly(false);
        QVERIFY(!editor.isDropHovering());

        QMimeData text;
        text.setText(u"# dropped"_s);
        send<QDragEnterEvent>(editor, text, Qt::CopyAction);
        QVERIFY(!editor.isDropHovering());
        send<QDragMoveEvent>(editor, text, Qt::CopyAction);
        send<QDropEvent>(editor, text, Qt::CopyAction);
        QVERIFY(editor.text().contains(u"# dropped"_s));
        QCOMPARE(dropped.count(), 1);
    }

    // One error line at a time, in a margin that shows it; a new text takes it away.
    void oneLineIsMarked()
    {
        CodeEditor editor;
        editor.setText(u"a: 1\nb: 2\nc: 3\n"_s);
        QCOMPARE(editor.markedLine(), 0);
        editor.markLine(2);
        QCOMPARE(editor.markedLine(), 2);
        const unsigned marker = editor.markersAtLine(1);
        QVERIFY(marker != 0);
        const int symbols = 1;
        QVERIFY(editor.marginWidth(symbols) > 0);
        QVERIFY((editor.marginMarkerMask(symbols) & marker) == marker);

        editor.markLine(3);
        QCOMPARE(editor.markersAtLine(1), 0U);
        QCOMPARE(editor.markedLine(), 3);
        editor.markLine(99);
        QCOMPARE(editor.markedLine(), 0);
        editor.markLine(1);
        editor.clearMarkedLine();
        QCOMPARE(editor.markedLine(), 0);

        editor.markLine(2);
        editor.setText(u"other: text\n"_s);
        QCOMPARE(editor.markedLine(), 0);
    }

    // Room for the line numbers follows their count; the rest of the look is fixed.
    void theEditorFitsItsText()
    {
        CodeEditor editor;
        QCOMPARE(editor.accessibleName(), u"Configuration editor"_s);
        QVERIFY(editor.minimumHeight() >= 200);
        QVERIFY(editor.isUtf8());

        editor.setText(u"a\n"_s.repeated(8));
        const int fewLines = editor.marginWidth(0);
        QVERIFY(fewLines > 0);
        editor.setText(u"a\n"_s.repeated(12000));
        QVERIFY(editor.marginWidth(0) > fewLines);
        editor.setText(u"a\n"_s);
        QCOMPARE(editor.marginWidth(0), fewLines);
    }
};

SPRUCER_GUI_TEST_MAIN(TestCodeEditor)
#include "TestCodeEditor.moc"
