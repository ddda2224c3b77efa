// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QsciLexer;

// What a piece of text is to the reader, whatever the language. A theme gives each role one
// colour, so a theme never needs to know the style numbers of a lexer.
enum class SyntaxRole
{
    Text,
    Comment,
    Keyword,
    String,
    Number,
    Punctuation,
    Key,
    Section,
    Error,
};

// Styles a lexer does not distinguish for the reader read as Text.
SyntaxRole syntaxRoleOf(const QsciLexer &lexer, int style);
