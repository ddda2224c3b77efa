// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QByteArray>

#include <span>
#include <vector>

// Finds markups in UTF-8 text that arrives in pieces, checking as it goes that the text is
// valid UTF-8. The caller reads straight into freeSpace(), so however large a file is, it needs
// one chunk of memory (and the text of a finding whose line runs on past a chunk). Gives the
// same findings as MarkupWatcher::findMarkups on the decoded text.
//
// One instance serves one thread and can be reused for any number of texts.
class Utf8MarkupScanner
{
public:
    static constexpr qsizetype kDefaultChunkSize = qsizetype{256} * 1024;
    static constexpr qsizetype kMinimumChunkSize = 16;

    explicit Utf8MarkupScanner(qsizetype chunkSize = kDefaultChunkSize);

    // Forgets the previous text.
    void start();
    // Where the next bytes go; never empty while the text is still valid.
    std::span<char> freeSpace();
    // `count` bytes were written at the start of freeSpace(). False once the text is known not
    // to be valid UTF-8; what follows can then be dropped.
    bool commit(qsizetype count);
    // The text is complete. False when it is not valid UTF-8.
    bool finish();
    bool hasMarkups() const { return !m_markups.isEmpty(); }
    // The findings of a valid text, in line order.
    MarkupList takeMarkups(const QString &filePath);

private:
    void scan(const char *begin, const char *end, bool last);
    void endPendingMarkup();
    void addMarkup(qint64 line, bool fixme, QByteArrayView rest);

    std::vector<char> m_buffer;
    qsizetype m_chunkSize;
    qsizetype m_filled = 0;
    bool m_valid = true;
    qint64 m_line = 1; // the line at the start of the bytes not yet scanned

    // A markup whose line goes on into the next chunk.
    bool m_pending = false;
    bool m_pendingFixme = false;
    qint64 m_pendingLine = 0;
    QByteArray m_pendingRest;

    MarkupList m_markups;
};
