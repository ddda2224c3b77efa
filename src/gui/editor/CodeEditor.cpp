// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/editor/CodeEditor.h"

#include <QDropEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMimeData>
#include <QScopedValueRollback>
#include <Qsci/qscicommandset.h>
#include <Qsci/qscilexerdiff.h>
#include <Qsci/qscilexerproperties.h>
#include <Qsci/qscilexerxml.h>
#include <Qsci/qscilexeryaml.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

enum Margin
{
    LineNumbers,
    Symbols,
    Folding
};
constexpr int ErrorMarker = 8;
// Styles a lexer may describe; Scintilla's own (line numbers and such) come after.
constexpr int LexerStyles = 128;

std::unique_ptr<QsciLexer> lexerFor(const QString &language)
{
    if (language == u"yaml"_s)
        return std::make_unique<QsciLexerYAML>();
    if (language == u"editorconfig"_s || language == u"ini"_s)
        return std::make_unique<QsciLexerProperties>();
    if (language == u"xml"_s)
        return std::make_unique<QsciLexerXML>();
    if (language == u"diff"_s)
        return std::make_unique<QsciLexerDiff>();
    return nullptr;
}

QFont editorFont()
{
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// Where the list has several, the first; web addresses are not files and are passed over.
QUrl firstFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    const auto file =
        std::find_if(urls.cbegin(), urls.cend(), [](const QUrl &url) { return url.isLocalFile(); });
    return file == urls.cend() ? QUrl() : *file;
}

} // namespace

CodeEditor::CodeEditor(QWidget *parent)
    : QsciScintilla(parent)
{
    setUpEditing();
    setUpMargins();
    applyTheme();
    setMinimumHeight(200);
    setAccessibleName(tr("Configuration editor"));
    connect(this, &QsciScintilla::textChanged, this, &CodeEditor::onTextChanged);
}

CodeEditor::~CodeEditor() = default;

void CodeEditor::setUpEditing()
{
    setUtf8(true);
    setTabWidth(4);
    setIndentationsUseTabs(false);
    setAutoIndent(true);
    setCaretLineVisible(true);
    setWrapMode(WrapNone);
    // The horizontal scroll bar reaches as far as the longest line seen, not a fixed 2000 px.
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    // Ctrl+Shift+Z redoes too, as in most editors on Linux.
    standardCommands()
        ->find(QsciCommand::Redo)
        ->setAlternateKey((Qt::CTRL | Qt::SHIFT | Qt::Key_Z).toCombined());
}

void CodeEditor::setUpMargins()
{
    setMarginType(LineNumbers, NumberMargin);
    setMarginLineNumbers(LineNumbers, true);
    setMarginType(Symbols, SymbolMargin);
    setMarginMarkerMask(Symbols, 1 << ErrorMarker);
    setMarginWidth(Folding, 0);
    markerDefine(Circle, ErrorMarker);
    connect(this, &QsciScintilla::linesChanged, this, &CodeEditor::fitLineNumberMargin);
}

void CodeEditor::setText(const QString &text)
{
    if (text == this->text())
        return;
    const QScopedValueRollback settingText(m_settingText, true);
    // A new editor's first text is where its history starts, as a file opened in an editor.
    const bool first = length() == 0 && !isUndoAvailable();
    // The owner sets the text of a read-only editor too.
    const bool readOnly = isReadOnly();
    SendScintilla(SCI_SETREADONLY, 0);
    replaceAllAsOneStep(text);
    SendScintilla(SCI_SETREADONLY, static_cast<unsigned long>(readOnly));
    if (first)
        SendScintilla(SCI_EMPTYUNDOBUFFER);
    clearMarkedLine();
}

void CodeEditor::replaceAllAsOneStep(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    beginUndoAction();
    SendScintilla(SCI_TARGETWHOLEDOCUMENT);
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()), bytes.constData());
    endUndoAction();
}

void CodeEditor::onTextChanged()
{
    if (!m_settingText)
        emit textEdited(text());
}

void CodeEditor::setLanguage(const QString &language)
{
    const QString name = language.trimmed().toLower();
    std::unique_ptr<QsciLexer> lexer = lexerFor(name);
    const QString known = lexer ? name : QString();
    if (known == m_language)
        return;
    // The editor lets go of the old lexer before it is deleted.
    setLexer(lexer.get());
    m_lexer = std::move(lexer);
    m_language = known;
    applyTheme();
}

bool CodeEditor::setTheme(const QString &name)
{
    const std::optional<EditorTheme> theme = EditorTheme::named(name);
    if (!theme)
        return false;
    m_theme = *theme;
    applyTheme();
    return true;
}

void CodeEditor::applyTheme()
{
    const QFont font = editorFont();
    // Kept by the editor for plain text, also while a lexer colours it.
    setPaper(m_theme.background);
    setColor(m_theme.text);
    setFont(font);
    SendScintilla(SCI_STYLESETFORE, STYLE_DEFAULT, m_theme.text);
    if (m_lexer)
        themeLexer(*m_lexer, font);
    themeSurroundings(font);
}

void CodeEditor::themeLexer(QsciLexer &lexer, const QFont &font)
{
    lexer.setDefaultPaper(m_theme.background);
    lexer.setDefaultColor(m_theme.text);
    lexer.setDefaultFont(font);
    lexer.setPaper(m_theme.background);
    lexer.setFont(font);
    lexer.setEolFill(false);
    for (int style = 0; style < LexerStyles; ++style) {
        if (!lexer.description(style).isEmpty())
            lexer.setColor(m_theme.colour(syntaxRoleOf(lexer, style)), style);
    }
}

void CodeEditor::themeSurroundings(const QFont &font)
{
    setCaretForegroundColor(m_theme.caret);
    setCaretLineBackgroundColor(m_theme.currentLine);
    setSelectionBackgroundColor(m_theme.selectionBackground);
    setSelectionForegroundColor(m_theme.selectionText);
    setMarginsBackgroundColor(m_theme.marginBackground);
    setMarginsForegroundColor(m_theme.lineNumber);
    setMarginsFont(font);
    setFoldMarginColors(m_theme.marginBackground, m_theme.marginBackground);
    setMarkerBackgroundColor(m_theme.errorMarker, ErrorMarker);
    setMarkerForegroundColor(m_theme.errorMarker, ErrorMarker);
    setMarginWidth(Symbols, QFontMetrics(font).height());
    m_lineNumberDigits = 0;
    fitLineNumberMargin();
}

void CodeEditor::fitLineNumberMargin()
{
    const int digits = std::max(2, static_cast<int>(QString::number(lines()).size()));
    if (digits == m_lineNumberDigits)
        return;
    m_lineNumberDigits = digits;
    // One digit more than the count needs, as room on both sides.
    setMarginWidth(LineNumbers, QString(digits + 1, u'9'));
}

void CodeEditor::markLine(int lineNumber)
{
    clearMarkedLine();
    if (lineNumber >= 1 && lineNumber <= lines())
        markerAdd(lineNumber - 1, ErrorMarker);
}

void CodeEditor::clearMarkedLine()
{
    markerDeleteAll(ErrorMarker);
}

int CodeEditor::markedLine() const
{
    return markerFindNext(0, 1U << ErrorMarker) + 1;
}

bool CodeEditor::takesFileDrop(const QDropEvent &event) const
{
    return !isReadOnly() && firstFile(event.mimeData()).isValid();
}

// A dropped file is read, never moved: a move would have the file manager delete it.
void CodeEditor::dragEnterEvent(QDragEnterEvent *event)
{
    if (!takesFileDrop(*event)) {
        QsciScintilla::dragEnterEvent(event);
        return;
    }
    if (acceptAsCopy(*event))
        setDropHovering(true);
}

void CodeEditor::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_dropHovering)
        acceptAsCopy(*event);
    else
        QsciScintilla::dragMoveEvent(event);
}

void CodeEditor::dragLeaveEvent(QDragLeaveEvent *event)
{
    if (!m_dropHovering) {
        QsciScintilla::dragLeaveEvent(event);
        return;
    }
    setDropHovering(false);
    event->accept();
}

void CodeEditor::dropEvent(QDropEvent *event)
{
    setDropHovering(false);
    if (!takesFileDrop(*event)) {
        QsciScintilla::dropEvent(event);
        return;
    }
    if (acceptAsCopy(*event))
        emit fileDropped(firstFile(event->mimeData()));
}

bool CodeEditor::acceptAsCopy(QDropEvent &event)
{
    if (!event.possibleActions().testFlag(Qt::CopyAction)) {
        event.ignore();
        return false;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    return true;
}

void CodeEditor::setDropHovering(bool hovering)
{
    if (hovering == m_dropHovering)
        return;
    m_dropHovering = hovering;
    emit dropHoverChanged(hovering);
}
