// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupStore.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 kLastLine = std::numeric_limits<quint32>::max();
constexpr qsizetype kLargeAppend = 1000;
} // namespace

void MarkupStore::append(const MarkupList &markups)
{
    // Exactly the tree scan's findings at first; after that, room for many files' at once.
    const std::size_t needed = m_findings.size() + std::size_t(markups.size());
    if (needed > m_findings.capacity())
        m_findings.reserve(std::max(needed, 2 * m_findings.capacity()));
    for (const Markup &markup : markups) {
        Finding finding;
        finding.id = markup.id;
        finding.line = quint32(std::clamp<qint64>(markup.line, 0, kLastLine));
        finding.text = keep(m_texts, markup.text.toUtf8());
        finding.file = fileIndex(markup.filePath);
        finding.type = typeIndex(markup.type);
        finding.fixed = markup.fixed;
        m_findings.push_back(finding);
    }
    // A tree's worth of findings leaves the buffers with up to half their room unused, for as
    // long as the watcher runs.
    if (markups.size() >= kLargeAppend) {
        m_texts.squeeze();
        m_pathBytes.squeeze();
        m_paths.shrink_to_fit();
    }
}

void MarkupStore::clear()
{
    *this = MarkupStore();
}

Markup MarkupStore::at(qsizetype index) const
{
    const Finding &finding = m_findings.at(std::size_t(index));
    return Markup{finding.id,
                  finding.line,
                  m_types.at(finding.type),
                  QString::fromUtf8(view(m_texts, finding.text)),
                  QString::fromUtf8(view(m_pathBytes, m_paths[finding.file])),
                  finding.fixed};
}

MarkupList MarkupStore::toList() const
{
    MarkupList markups;
    markups.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        markups.append(at(i));
    return markups;
}

MarkupStore::Span MarkupStore::keep(QByteArray &buffer, const QByteArray &utf8)
{
    const Span span{quint32(buffer.size()), quint32(utf8.size())};
    buffer.append(utf8);
    return span;
}

QByteArrayView MarkupStore::view(const QByteArray &buffer, Span span)
{
    return QByteArrayView(buffer).sliced(span.begin, span.size);
}

quint32 MarkupStore::fileIndex(const QString &path)
{
    const QByteArray utf8 = path.toUtf8();
    const size_t hash = qHash(utf8);
    for (auto it = m_pathsByHash.constFind(hash); it != m_pathsByHash.cend() && it.key() == hash;
         ++it) {
        if (view(m_pathBytes, m_paths[*it]) == utf8)
            return *it;
    }
    const auto index = quint32(m_paths.size());
    m_paths.push_back(keep(m_pathBytes, utf8));
    m_pathsByHash.insert(hash, index);
    return index;
}

quint16 MarkupStore::typeIndex(const QString &type)
{
    const qsizetype found = m_types.indexOf(type);
    if (found >= 0)
        return quint16(found);
    m_types.append(type);
    return quint16(m_types.size() - 1);
}
