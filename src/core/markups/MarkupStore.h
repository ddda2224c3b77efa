// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QByteArray>
#include <QHash>
#include <QMultiHash>
#include <QStringList>

#include <optional>
#include <vector>

// A watcher's findings, kept for as long as the watcher runs: a large tree holds tens of
// thousands. Texts and paths are kept as UTF-8, end to end in two buffers, and each file's path
// once, so a finding costs its text and a few dozen bytes rather than a record of four strings.
// Reads give back exactly the records held, in order: appended ones at the end, a replaced
// file's where its first earlier finding was.
class MarkupStore
{
public:
    void append(const MarkupList &markups);
    // The file's findings become `markups` (which name it), in the place of its first earlier
    // finding, so a rescanned file keeps its position; a file that had none goes at the end.
    // None: the file's findings go.
    void replaceFile(const QString &path, const MarkupList &markups);
    void removeFile(const QString &path) { replaceFile(path, {}); }
    void clear();

    qsizetype size() const { return qsizetype(m_findings.size()); }
    bool isEmpty() const { return m_findings.empty(); }
    Markup at(qsizetype index) const;
    MarkupList toList() const;
    // Whether the file has findings here.
    bool holdsFile(const QString &path) const;
    // What the buffers hold, findings replaced or removed included until they are compacted.
    qsizetype bufferBytes() const { return m_texts.size() + m_pathBytes.size(); }

private:
    // A string in one of the buffers.
    struct Span
    {
        quint32 begin = 0;
        quint32 size = 0;
    };

    struct Finding
    {
        QUuid id;
        quint32 line = 0;
        Span text;
        quint32 file = 0; // in m_paths
        quint16 type = 0; // in m_types
        bool fixed = false;
    };

    // New findings by file, each file's in the order given.
    struct FreshFindings
    {
        QHash<quint32, std::vector<Finding>> byFile;
        std::vector<quint32> files; // in the order first named
        qsizetype count = 0;
    };

    static Span keep(QByteArray &buffer, QByteArrayView utf8);
    static QByteArrayView view(const QByteArray &buffer, Span span);
    std::optional<quint32> findFile(QByteArrayView utf8) const;
    quint32 fileIndex(const QString &path);
    quint16 typeIndex(const QString &type);
    Finding record(const Markup &markup);
    void addFresh(FreshFindings &fresh, const Markup &markup);
    void splice(FreshFindings &fresh);
    void hold(quint32 file);
    void release(const Finding &finding);
    void squeezeAfter(qsizetype added);
    void compactWhenMostlyDead();
    void compact();

    std::vector<Finding> m_findings;
    QByteArray m_texts;
    QByteArray m_pathBytes;
    std::vector<Span> m_paths;
    std::vector<quint32> m_findingsOfFile;     // by index in m_paths
    QMultiHash<size_t, quint32> m_pathsByHash; // a path's hash → its index in m_paths
    QStringList m_types;
    // Bytes of the buffers no finding refers to any more: replaced texts, paths of files with
    // no findings left.
    qsizetype m_deadBytes = 0;
};
