// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/editor/EditorTheme.h"

#include <QUrl>
#include <Qsci/qsciscintilla.h>

#include <memory>

// The editor of a formatter's configuration: line numbers, colouring by language, a theme, the
// line of the tool's first error, and files dropped onto it handed to its owner.
class CodeEditor : public QsciScintilla
{
    Q_OBJECT

public:
    explicit CodeEditor(QWidget *parent = nullptr);
    ~CodeEditor() override;

    // Replaces the whole text as one step the user can undo, without textEdited; the same text
    // again does nothing. The first text of a new editor starts its history instead, so undo
    // never empties what the editor opened with. A changed text takes the error mark away: it
    // was the old text's.
    void setText(const QString &text) override;

    // "yaml", "editorconfig", "ini", "xml" or "diff"; anything else is plain text.
    void setLanguage(const QString &language);
    QString language() const { return m_language; }

    // False, and the theme unchanged, for a name no theme has. "ocean" is the default.
    bool setTheme(const QString &name);
    QString theme() const { return m_theme.name; }

    // 1-based. One line at a time; a line the text does not have marks none.
    void markLine(int lineNumber);
    void clearMarkedLine();
    // 1-based, following the edits since; 0 when none.
    int markedLine() const;

    // While a drag with a file over the editor lasts.
    bool isDropHovering() const { return m_dropHovering; }

Q_SIGNALS:
    // The user changed the text: typing, pasting, undo. Carries the whole text.
    void textEdited(const QString &text);
    // Emitted with the first file of a drop; the text stays as it was.
    void fileDropped(const QUrl &file);
    void dropHoverChanged(bool hovering);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setUpEditing();
    void setUpMargins();
    void replaceAllAsOneStep(const QString &text);
    void applyTheme();
    void themeLexer(QsciLexer &lexer, const QFont &font);
    void themeSurroundings(const QFont &font);
    void fitLineNumberMargin();
    void onTextChanged();
    bool takesFileDrop(const QDropEvent &event) const;
    static bool acceptAsCopy(QDropEvent &event);
    void setDropHovering(bool hovering);

    std::unique_ptr<QsciLexer> m_lexer;
    QString m_language;
    EditorTheme m_theme = EditorTheme::ocean();
    bool m_settingText = false;
    bool m_dropHovering = false;
    int m_lineNumberDigits = 0;
};
