// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/ByteScan.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define SPRUCER_BYTESCAN_SSE2 1
#endif

namespace {

using Byte = unsigned char;

const Byte *asBytes(const char *p)
{
    return reinterpret_cast<const Byte *>(p);
}

const char *asChars(const Byte *p)
{
    return reinterpret_cast<const char *>(p);
}

bool isContinuation(Byte b)
{
    return (b & 0xc0) == 0x80;
}

// Length of the well-formed multi-byte sequence at `p` (whose lead is not ASCII), or 0.
// The bounds follow the Unicode table of well-formed byte sequences.
int sequenceLength(const Byte *p, const Byte *end)
{
    const Byte lead = p[0];
    const std::ptrdiff_t left = end - p;
    if (lead < 0xc2)
        return 0;
    if (lead < 0xe0)
        return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (lead < 0xf0) {
        const Byte low = lead == 0xe0 ? 0xa0 : 0x80;  // overlong below
        const Byte high = lead == 0xed ? 0x9f : 0xbf; // surrogates above
        return left >= 3 && p[1] >= low && p[1] <= high && isContinuation(p[2]) ? 3 : 0;
    }
    if (lead < 0xf5) {
        const Byte low = lead == 0xf0 ? 0x90 : 0x80;  // overlong below
        const Byte high = lead == 0xf4 ? 0x8f : 0xbf; // past U+10FFFF above
        return left >= 4 && p[1] >= low && p[1] <= high && isContinuation(p[2]) &&
                       isContinuation(p[3])
                   ? 4
                   : 0;
    }
    return 0;
}

bool keywordBefore(const Byte *textBegin, const Byte *colon)
{
    if (colon - textBegin >= 4 && std::memcmp(colon - 4, "TODO", 4) == 0)
        return true;
    return colon - textBegin >= 5 && std::memcmp(colon - 5, "FIXME", 5) == 0;
}

// Length of the line break at `p`, or 0. Multi-byte breaks are only recognised whole.
int lineBreakLength(const Byte *p, const Byte *end)
{
    const Byte b = *p;
    if (b >= 0x0a && b <= 0x0d)
        return 1;
    if (b == 0xc2)
        return end - p >= 2 && p[1] == 0x85 ? 2 : 0;
    if (b == 0xe2)
        return end - p >= 3 && p[1] == 0x80 && (p[2] == 0xa8 || p[2] == 0xa9) ? 3 : 0;
    return 0;
}

#ifdef SPRUCER_BYTESCAN_SSE2

__m128i load(const Byte *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

__m128i splat(Byte b)
{
    return _mm_set1_epi8(static_cast<char>(b));
}

unsigned maskOf(__m128i v)
{
    return static_cast<unsigned>(_mm_movemask_epi8(v));
}

// One bit per byte of p[0..16) that starts a line break. Reads p[0..18).
unsigned lineBreakMask(const Byte *p)
{
    const __m128i c0 = load(p);
    const __m128i offset = _mm_sub_epi8(c0, splat(0x0a));
    const __m128i ascii = _mm_cmpeq_epi8(_mm_min_epu8(offset, splat(3)), offset);
    if (maskOf(c0) == 0)
        return maskOf(ascii);
    const __m128i c1 = load(p + 1);
    const __m128i c2 = load(p + 2);
    const __m128i nel =
        _mm_and_si128(_mm_cmpeq_epi8(c0, splat(0xc2)), _mm_cmpeq_epi8(c1, splat(0x85)));
    const __m128i separator = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(c0, splat(0xe2)), _mm_cmpeq_epi8(c1, splat(0x80))),
        _mm_cmpeq_epi8(_mm_or_si128(c2, splat(1)), splat(0xa9)));
    return maskOf(_mm_or_si128(ascii, _mm_or_si128(nel, separator)));
}

#endif

} // namespace

namespace ByteScan {

bool isValidUtf8(const char *begin, const char *end)
{
    const Byte *p = asBytes(begin);
    const Byte *e = asBytes(end);
    while (p < e) {
#ifdef SPRUCER_BYTESCAN_SSE2
        // Source text is nearly all ASCII: skip it 64 bytes at a time.
        while (e - p >= 64) {
            const __m128i a = load(p);
            const __m128i b = load(p + 16);
            const __m128i c = load(p + 32);
            const __m128i d = load(p + 48);
            if (maskOf(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) {
                p += 64;
                continue;
            }
            const std::uint64_t high = maskOf(a) | std::uint64_t(maskOf(b)) << 16 |
                                       std::uint64_t(maskOf(c)) << 32 |
                                       std::uint64_t(maskOf(d)) << 48;
            p += __builtin_ctzll(high);
            break;
        }
#else
        while (e - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080u)
                break;
            p += 8;
        }
#endif
        if (p == e)
            break;
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int length = sequenceLength(p, e);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

const char *findKeywordColon(const char *textBegin, const char *from, const char *end)
{
    const Byte *text = asBytes(textBegin);
    const Byte *p = asBytes(from);
    const Byte *e = asBytes(end);
#ifdef SPRUCER_BYTESCAN_SSE2
    // The vector loop looks two bytes back.
    for (; p < e && p - text < 2; ++p) {
        if (*p == ':' && keywordBefore(text, p))
            return asChars(p);
    }
    // Candidates are colons after "DO" or "ME"; rare enough in code to check one by one.
    for (; e - p >= 16; p += 16) {
        const __m128i c0 = load(p);
        const __m128i c1 = load(p - 1);
        const __m128i c2 = load(p - 2);
        const __m128i todo =
            _mm_and_si128(_mm_cmpeq_epi8(c1, splat('O')), _mm_cmpeq_epi8(c2, splat('D')));
        const __m128i fixme =
            _mm_and_si128(_mm_cmpeq_epi8(c1, splat('E')), _mm_cmpeq_epi8(c2, splat('M')));
        unsigned mask =
            maskOf(_mm_and_si128(_mm_cmpeq_epi8(c0, splat(':')), _mm_or_si128(todo, fixme)));
        for (; mask != 0; mask &= mask - 1) {
            const Byte *colon = p + __builtin_ctz(mask);
            if (keywordBefore(text, colon))
                return asChars(colon);
        }
    }
#endif
    while (p < e) {
        const auto *colon = static_cast<const Byte *>(std::memchr(p, ':', std::size_t(e - p)));
        if (!colon)
            break;
        if (keywordBefore(text, colon))
            return asChars(colon);
        p = colon + 1;
    }
    return nullptr;
}

std::size_t countLineBreaks(const char *begin, const char *end)
{
    const Byte *p = asBytes(begin);
    const Byte *e = asBytes(end);
    std::size_t count = 0;
#ifdef SPRUCER_BYTESCAN_SSE2
    for (; e - p >= 18; p += 16)
        count += std::size_t(__builtin_popcount(lineBreakMask(p)));
#endif
    for (; p < e; ++p) {
        if (lineBreakLength(p, e) != 0)
            ++count;
    }
    return count;
}

const char *findLineBreak(const char *begin, const char *end)
{
    const Byte *p = asBytes(begin);
    const Byte *e = asBytes(end);
#ifdef SPRUCER_BYTESCAN_SSE2
    for (; e - p >= 18; p += 16) {
        if (const unsigned mask = lineBreakMask(p))
            return asChars(p + __builtin_ctz(mask));
    }
#endif
    for (; p < e; ++p) {
        if (lineBreakLength(p, e) != 0)
            return asChars(p);
    }
    return end;
}

std::size_t incompleteTail(const char *begin, const char *end)
{
    const Byte *e = asBytes(end);
    const auto size = std::size_t(end - begin);
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const Byte b = e[-std::ptrdiff_t(back)];
        if (isContinuation(b))
            continue;
        const std::size_t needed = b >= 0xf0 ? 4 : b >= 0xe0 ? 3 : b >= 0xc0 ? 2 : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

} // namespace ByteScan
