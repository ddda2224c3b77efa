// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/Utf8MarkupScanner.h"

#include "core/markups/ByteScan.h"
#include "core/markups/MarkupPattern.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Bytes of the previous chunk kept in front of the next one, so that a keyword split by the
// chunk boundary ("FIXME" is the longest) is still seen before its colon.
constexpr qsizetype kContext = 5;
constexpr qsizetype kFront = 8;

} // namespace

Utf8MarkupScanner::Utf8MarkupScanner(qsizetype chunkSize)
    : m_chunkSize(std::max(chunkSize, kMinimumChunkSize))
{
    m_buffer.resize(std::size_t(kFront + m_chunkSize));
    start();
}

void Utf8MarkupScanner::start()
{
    // Zero bytes before the text can never complete a keyword.
    std::fill_n(m_buffer.begin(), kFront, '\0');
    m_filled = 0;
    m_valid = true;
    m_line = 1;
    m_pending = false;
    m_pendingRest.clear();
    m_markups.clear();
}

std::span<char> Utf8MarkupScanner::freeSpace()
{
    return {m_buffer.data() + kFront + m_filled, std::size_t(m_chunkSize - m_filled)};
}

bool Utf8MarkupScanner::commit(qsizetype count)
{
    Q_ASSERT(count >= 0 && count <= m_chunkSize - m_filled);
    if (!m_valid)
        return false;
    m_filled += count;
    if (m_filled < m_chunkSize)
        return true;

    char *begin = m_buffer.data() + kFront;
    char *end = begin + m_filled;
    // A sequence cut by the chunk boundary is checked once it is whole.
    const auto tail = qsizetype(ByteScan::incompleteTail(begin, end));
    char *scanEnd = end - tail;
    if (!ByteScan::isValidUtf8(begin, scanEnd)) {
        m_valid = false;
        return false;
    }
    scan(begin, scanEnd, false);
    std::memmove(begin - kContext, scanEnd - kContext, std::size_t(kContext + tail));
    m_filled = tail;
    return true;
}

bool Utf8MarkupScanner::finish()
{
    if (!m_valid)
        return false;
    const char *begin = m_buffer.data() + kFront;
    const char *end = begin + m_filled;
    if (!ByteScan::isValidUtf8(begin, end)) {
        m_valid = false;
        return false;
    }
    scan(begin, end, true);
    m_filled = 0;
    return true;
}

MarkupList Utf8MarkupScanner::takeMarkups(const QString &filePath)
{
    for (Markup &markup : m_markups)
        markup.filePath = filePath;
    return std::exchange(m_markups, {});
}

void Utf8MarkupScanner::scan(const char *begin, const char *end, bool last)
{
    const char *pos = begin;
    if (m_pending) {
        const char *lineEnd = ByteScan::findLineBreak(pos, end);
        m_pendingRest.append(pos, lineEnd - pos);
        if (lineEnd == end && !last)
            return;
        endPendingMarkup();
        pos = lineEnd;
    }

    // Lines are only counted up to a finding, or to the end of a chunk that is not the last:
    // most files have no markup and are never counted.
    const char *counted = pos;
    while (const char *colon = ByteScan::findKeywordColon(begin - kContext, pos, end)) {
        m_line += qint64(ByteScan::countLineBreaks(counted, colon));
        const bool fixme = colon[-1] == 'E';
        const char *rest = colon + 1;
        const char *lineEnd = ByteScan::findLineBreak(rest, end);
        if (lineEnd == end && !last) {
            m_pending = true;
            m_pendingFixme = fixme;
            m_pendingLine = m_line;
            m_pendingRest = QByteArray(rest, end - rest);
            return;
        }
        // A colon that ends the line leaves nothing for ".+" to match.
        if (lineEnd != rest)
            addMarkup(m_line, fixme, QByteArrayView(rest, lineEnd - rest));
        pos = counted = lineEnd;
    }
    if (!last)
        m_line += qint64(ByteScan::countLineBreaks(counted, end));
}

void Utf8MarkupScanner::endPendingMarkup()
{
    if (!m_pendingRest.isEmpty())
        addMarkup(m_pendingLine, m_pendingFixme, m_pendingRest);
    m_pending = false;
    m_pendingRest.clear();
}

void Utf8MarkupScanner::addMarkup(qint64 line, bool fixme, QByteArrayView rest)
{
    const QString decoded = QString::fromUtf8(rest);
    m_markups.append(MarkupPattern::makeMarkup(line, fixme, decoded, QString()));
}
