// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/Languages.h"

using namespace Qt::StringLiterals;

namespace Languages {

const QList<Language> &all()
{
    // The everyday names of C++ sources, headers, inline and template parts; clang-format
    // treats every one of them as C++.
    static const QList<Language> table{
        {SupportedFileExtension::swift,
         u"swift"_s,
         u"Swift"_s,
         {u"swift"_s},
         FormattingTool::swiftLint,
         ConfigurationSyntax::yaml,
         u"sample.swift"_s,
         u"swift"_s},
        {SupportedFileExtension::cpp,
         u"cpp"_s,
         u"C++"_s,
         {u"cpp"_s, u"hpp"_s, u"h"_s, u"c"_s, u"cc"_s, u"cxx"_s, u"c++"_s, u"hh"_s, u"hxx"_s,
          u"h++"_s, u"ipp"_s, u"tpp"_s, u"inl"_s},
         FormattingTool::clangFormat,
         ConfigurationSyntax::yaml,
         u"sample.cpp"_s,
         u"terminal"_s},
        {SupportedFileExtension::objectivec,
         u"objectivec"_s,
         u"Objective-C"_s,
         {u"m"_s, u"mm"_s, u"h"_s},
         FormattingTool::clangFormat,
         ConfigurationSyntax::yaml,
         u"sample.m"_s,
         u"terminal"_s},
        {SupportedFileExtension::kotlin,
         u"kotlin"_s,
         u"Kotlin"_s,
         {u"kt"_s, u"kts"_s},
         FormattingTool::ktlint,
         ConfigurationSyntax::editorconfig,
         u"sample.kt"_s,
         u"k.circle"_s},
    };
    return table;
}

// The table is in the order of the enumeration, so a language is found by its value.
const Language &of(SupportedFileExtension kind)
{
    const Language &language = all().at(qsizetype(kind));
    Q_ASSERT(language.kind == kind);
    return language;
}

} // namespace Languages
