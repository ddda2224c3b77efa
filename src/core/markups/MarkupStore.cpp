// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupStore.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 kLastLine = std::numeric_limits<quint32>::max();
constexpr qsizetype kLargeAppend = 1000;
constexpr quint32 kNoFile = std::numeric_limits<quint32>::max();
} // namespace

void MarkupStore::append(const MarkupList &markups)
{
    // Exactly the tree scan's findings at first; after that, room for many files' at once.
    const std::size_t needed = m_findings.size() + std::size_t(markups.size());
    if (needed > m_findings.capacity())
        m_findings.reserve(std::max(needed, 2 * m_findings.capacity()));
    for (const Markup &markup : markups)
        m_findings.push_back(record(markup));
    squeezeAfter(markups.size());
}

void MarkupStore::replaceFile(const QString &path, const MarkupList &markups)
{
    FreshFindings fresh;
    for (const Markup &markup : markups)
        addFresh(fresh, markup);
    const std::optional<quint32> file = findFile(path.toUtf8());
    if (file && !fresh.byFile.contains(*file)) {
        fresh.byFile.insert(*file, {});
        fresh.files.push_back(*file);
    }
    splice(fresh);
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

bool MarkupStore::holdsFile(const QString &path) const
{
    const std::optional<quint32> file = findFile(path.toUtf8());
    return file && m_findingsOfFile[*file] > 0;
}

MarkupStore::Span MarkupStore::keep(QByteArray &buffer, QByteArrayView utf8)
{
    const Span span{quint32(buffer.size()), quint32(utf8.size())};
    buffer.append(utf8);
    return span;
}

QByteArrayView MarkupStore::view(const QByteArray &buffer, Span span)
{
    return QByteArrayView(buffer).sliced(span.begin, span.size);
}

std::optional<quint32> MarkupStore::findFile(QByteArrayView utf8) const
{
    const size_t hash = qHash(utf8);
    for (auto it = m_pathsByHash.constFind(hash); it != m_pathsByHash.cend() && it.key() == hash;
         ++it) {
        if (view(m_pathBytes, m_paths[*it]) == utf8)
            return *it;
    }
    return std::nullopt;
}

quint32 MarkupStore::fileIndex(const QString &path)
{
    const QByteArray utf8 = path.toUtf8();
    if (const std::optional<quint32> known = findFile(utf8))
        return *known;
    const auto index = quint32(m_paths.size());
    m_paths.push_back(keep(m_pathBytes, utf8));
    m_findingsOfFile.push_back(0);
    m_deadBytes += utf8.size(); // until its first finding is held
    m_pathsByHash.insert(qHash(QByteArrayView(utf8)), index);
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

MarkupStore::Finding MarkupStore::record(const Markup &markup)
{
    Finding finding;
    finding.id = markup.id;
    finding.line = quint32(std::clamp<qint64>(markup.line, 0, kLastLine));
    finding.text = keep(m_texts, markup.text.toUtf8());
    finding.file = fileIndex(markup.filePath);
    finding.type = typeIndex(markup.type);
    finding.fixed = markup.fixed;
    hold(finding.file);
    return finding;
}

void MarkupStore::addFresh(FreshFindings &fresh, const Markup &markup)
{
    const Finding finding = record(markup);
    std::vector<Finding> &ofFile = fresh.byFile[finding.file];
    if (ofFile.empty())
        fresh.files.push_back(finding.file);
    ofFile.push_back(finding);
    ++fresh.count;
}

// One pass over the findings: each fresh file's findings take the place of its first old one,
// its other old ones go, and the files that had none follow at the end.
void MarkupStore::splice(FreshFindings &fresh)
{
    if (fresh.files.empty())
        return;
    std::vector<Finding> findings;
    findings.reserve(m_findings.size() + std::size_t(fresh.count));
    for (const Finding &old : m_findings) {
        const auto replaced = fresh.byFile.find(old.file);
        if (replaced == fresh.byFile.end()) {
            findings.push_back(old);
            continue;
        }
        release(old);
        findings.insert(findings.end(), replaced->begin(), replaced->end());
        replaced->clear(); // placed
    }
    for (const quint32 file : fresh.files) {
        const std::vector<Finding> &unplaced = fresh.byFile[file];
        findings.insert(findings.end(), unplaced.begin(), unplaced.end());
    }
    m_findings = std::move(findings);
    squeezeAfter(fresh.count);
    compactWhenMostlyDead();
}

void MarkupStore::hold(quint32 file)
{
    if (m_findingsOfFile[file]++ == 0)
        m_deadBytes -= m_paths[file].size;
}

void MarkupStore::release(const Finding &finding)
{
    m_deadBytes += finding.text.size;
    if (--m_findingsOfFile[finding.file] == 0)
        m_deadBytes += m_paths[finding.file].size;
}

void MarkupStore::squeezeAfter(qsizetype added)
{
    // A tree's worth of findings leaves the buffers with up to half their room unused, for as
    // long as the watcher runs.
    if (added >= kLargeAppend) {
        m_texts.squeeze();
        m_pathBytes.squeeze();
        m_paths.shrink_to_fit();
        m_findingsOfFile.shrink_to_fit();
    }
}

// A file saved over and over leaves a dead text behind each time; compacting once the dead
// outweigh the live costs each dead byte a copy of at most one live byte.
void MarkupStore::compactWhenMostlyDead()
{
    if (2 * m_deadBytes > bufferBytes())
        compact();
}

void MarkupStore::compact()
{
    qsizetype liveTexts = 0;
    for (const Finding &finding : m_findings)
        liveTexts += finding.text.size;
    QByteArray texts;
    texts.reserve(liveTexts);
    const qsizetype deadPaths = m_deadBytes - (m_texts.size() - liveTexts);
    QByteArray pathBytes;
    pathBytes.reserve(m_pathBytes.size() - deadPaths);
    std::vector<Span> paths;
    std::vector<quint32> findingsOfFile;
    QMultiHash<size_t, quint32> pathsByHash;
    std::vector<quint32> moved(m_paths.size(), kNoFile);
    for (Finding &finding : m_findings) {
        finding.text = keep(texts, view(m_texts, finding.text));
        quint32 &file = moved[finding.file];
        if (file == kNoFile) {
            const QByteArrayView path = view(m_pathBytes, m_paths[finding.file]);
            file = quint32(paths.size());
            paths.push_back(keep(pathBytes, path));
            findingsOfFile.push_back(m_findingsOfFile[finding.file]);
            pathsByHash.insert(qHash(path), file);
        }
        finding.file = file;
    }
    m_texts = std::move(texts);
    m_pathBytes = std::move(pathBytes);
    m_paths = std::move(paths);
    m_findingsOfFile = std::move(findingsOfFile);
    m_pathsByHash = std::move(pathsByHash);
    m_deadBytes = 0;
}
