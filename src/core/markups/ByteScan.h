// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

// The byte-level loops of the tree scan, kept apart so the vectorised versions sit next to
// their plain fallbacks. All ranges are [begin, end); nothing is read outside the given bounds.
namespace ByteScan {

// True when the bytes are well-formed UTF-8: no stray or missing continuation bytes, no
// overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const char *begin, const char *end);

// The first ':' in [from, end) that directly follows "TODO" or "FIXME", or nullptr. The keyword
// may start before `from`, but never before `textBegin`.
const char *findKeywordColon(const char *textBegin, const char *from, const char *end);

// Line breaks in valid UTF-8 that starts on a character boundary: LF, VT, FF, CR and the
// encodings of U+0085, U+2028 and U+2029.
std::size_t countLineBreaks(const char *begin, const char *end);

// The first line break in [begin, end), or `end`.
const char *findLineBreak(const char *begin, const char *end);

// Bytes at the end that start a sequence the range cuts short (0 to 3); they belong to the
// next piece of the text.
std::size_t incompleteTail(const char *begin, const char *end);

} // namespace ByteScan
