// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupStore.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 kLastLine = std::numeric_limits<quint32>::max();
} // namespace

void MarkupStore::append(const MarkupList &markups)
{
    // Exactly the tree scan's findings at first; after that, room for many files' at once.
    const std::size_t needed = m_findings.size() + std::size_t(markups.size());
    if (needed > m_findings.capacity())
        m_findings.reserve(std::max(needed, 2 * m_findings.capacity()));
    for (const Markup &markup : markups) {
        const QByteArray text = markup.text.toUtf8();
        Finding finding;
        finding.id = markup.id;
        finding.line = quint32(std::clamp<qint64>(markup.line, 0, kLastLine));
        finding.textBegin = quint32(m_texts.size());
        finding.textSize = quint32(text.size());
        finding.file = fileIndex(markup.filePath);
        finding.type = typeIndex(markup.type);
        finding.fixed = markup.fixed;
        m_texts.append(text);
        m_findings.push_back(finding);
    }
}

void MarkupStore::clear()
{
    *this = MarkupStore();
}

Markup MarkupStore::at(qsizetype index) const
{
    const Finding &finding = m_findings.at(std::size_t(index));
    return Markup{
        finding.id,
        finding.line,
        m_types.at(finding.type),
        QString::fromUtf8(m_texts.constData() + finding.textBegin, qsizetype(finding.textSize)),
        m_paths.at(finding.file),
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

quint32 MarkupStore::fileIndex(const QString &path)
{
    const auto found = m_pathIndex.constFind(path);
    if (found != m_pathIndex.cend())
        return *found;
    const auto index = quint32(m_paths.size());
    m_paths.append(path);
    m_pathIndex.insert(path, index);
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
