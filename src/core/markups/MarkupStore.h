// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QByteArray>
#include <QMultiHash>
#include <QStringList>

#include <vector>

// A watcher's findings, kept for as long as the watcher runs: a large tree holds tens of
// thousands. Texts and paths are kept as UTF-8, end to end in two buffers, and each file's path
// once, so a finding costs its text and a few dozen bytes rather than a record of four strings.
// Reads give back exactly the records added, in the order they were added.
class MarkupStore
{
public:
    void append(const MarkupList &markups);
    void clear();

    qsizetype size() const { return qsizetype(m_findings.size()); }
    bool isEmpty() const { return m_findings.empty(); }
    Markup at(qsizetype index) const;
    MarkupList toList() const;

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

    static Span keep(QByteArray &buffer, const QByteArray &utf8);
    static QByteArrayView view(const QByteArray &buffer, Span span);
    quint32 fileIndex(const QString &path);
    quint16 typeIndex(const QString &type);

    std::vector<Finding> m_findings;
    QByteArray m_texts;
    QByteArray m_pathBytes;
    std::vector<Span> m_paths;
    QMultiHash<size_t, quint32> m_pathsByHash; // a path's hash → its index in m_paths
    QStringList m_types;
};
