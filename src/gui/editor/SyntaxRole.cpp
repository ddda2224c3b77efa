// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/editor/SyntaxRole.h"

#include <Qsci/qscilexerdiff.h>
#include <Qsci/qscilexerproperties.h>
#include <Qsci/qscilexerxml.h>
#include <Qsci/qscilexeryaml.h>

namespace {

SyntaxRole yamlRole(int style)
{
    switch (style) {
    case QsciLexerYAML::Comment:
        return SyntaxRole::Comment;
    case QsciLexerYAML::Identifier:
        return SyntaxRole::Key;
    case QsciLexerYAML::Keyword:
        return SyntaxRole::Keyword;
    case QsciLexerYAML::Number:
        return SyntaxRole::Number;
    case QsciLexerYAML::Reference:
    case QsciLexerYAML::DocumentDelimiter:
        return SyntaxRole::Section;
    case QsciLexerYAML::TextBlockMarker:
    case QsciLexerYAML::Operator:
        return SyntaxRole::Punctuation;
    case QsciLexerYAML::SyntaxErrorMarker:
        return SyntaxRole::Error;
    default:
        return SyntaxRole::Text;
    }
}

SyntaxRole propertiesRole(int style)
{
    switch (style) {
    case QsciLexerProperties::Comment:
        return SyntaxRole::Comment;
    case QsciLexerProperties::Section:
        return SyntaxRole::Section;
    case QsciLexerProperties::Assignment:
        return SyntaxRole::Punctuation;
    case QsciLexerProperties::DefaultValue:
        return SyntaxRole::Keyword;
    case QsciLexerProperties::Key:
        return SyntaxRole::Key;
    default:
        return SyntaxRole::Text;
    }
}

// The XML lexer shares the HTML one's styles; embedded scripts cannot occur in XML and keep Text.
SyntaxRole xmlRole(int style)
{
    switch (style) {
    case QsciLexerXML::Tag:
    case QsciLexerXML::UnknownTag:
    case QsciLexerXML::XMLTagEnd:
    case QsciLexerXML::SGMLCommand:
        return SyntaxRole::Keyword;
    case QsciLexerXML::Attribute:
    case QsciLexerXML::UnknownAttribute:
    case QsciLexerXML::SGMLParameter:
        return SyntaxRole::Key;
    case QsciLexerXML::HTMLNumber:
        return SyntaxRole::Number;
    case QsciLexerXML::HTMLDoubleQuotedString:
    case QsciLexerXML::HTMLSingleQuotedString:
    case QsciLexerXML::HTMLValue:
    case QsciLexerXML::CDATA:
    case QsciLexerXML::SGMLDoubleQuotedString:
    case QsciLexerXML::SGMLSingleQuotedString:
        return SyntaxRole::String;
    case QsciLexerXML::HTMLComment:
    case QsciLexerXML::SGMLComment:
    case QsciLexerXML::SGMLParameterComment:
        return SyntaxRole::Comment;
    case QsciLexerXML::Entity:
    case QsciLexerXML::SGMLEntity:
        return SyntaxRole::Punctuation;
    case QsciLexerXML::XMLStart:
    case QsciLexerXML::XMLEnd:
        return SyntaxRole::Section;
    case QsciLexerXML::SGMLError:
        return SyntaxRole::Error;
    default:
        return SyntaxRole::Text;
    }
}

// Removed lines take the colour of errors, added ones that of strings, so both stand out.
SyntaxRole diffRole(int style)
{
    switch (style) {
    case QsciLexerDiff::Header:
    case QsciLexerDiff::Command:
        return SyntaxRole::Keyword;
    case QsciLexerDiff::Position:
        return SyntaxRole::Section;
    case QsciLexerDiff::LineRemoved:
        return SyntaxRole::Error;
    case QsciLexerDiff::LineAdded:
        return SyntaxRole::String;
    case QsciLexerDiff::Comment:
        return SyntaxRole::Comment;
    default:
        return SyntaxRole::Text;
    }
}

} // namespace

SyntaxRole syntaxRoleOf(const QsciLexer &lexer, int style)
{
    if (qobject_cast<const QsciLexerYAML *>(&lexer))
        return yamlRole(style);
    if (qobject_cast<const QsciLexerProperties *>(&lexer))
        return propertiesRole(style);
    if (qobject_cast<const QsciLexerXML *>(&lexer))
        return xmlRole(style);
    if (qobject_cast<const QsciLexerDiff *>(&lexer))
        return diffRole(style);
    return SyntaxRole::Text;
}
