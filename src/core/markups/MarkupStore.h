// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Markup.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <vector>

// A watcher's findings, kept for as long as the watcher runs: a large tree holds tens of
// thousands. Each file's path and each kind of note is held once, and the texts share one
// UTF-8 buffer, so a finding costs its text and a few dozen bytes rather than four strings.
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
    struct Finding
    {
        QUuid id;
        quint32 line = 0;
        quint32 textBegin = 0;
        quint32 textSize = 0;
        quint32 file = 0; // in m_paths
        quint16 type = 0; // in m_types
        bool fixed = false;
    };

    quint32 fileIndex(const QString &path);
    quint16 typeIndex(const QString &type);

    std::vector<Finding> m_findings;
    QStringList m_paths;
    QHash<QString, quint32> m_pathIndex;
    QStringList m_types;
    QByteArray m_texts;
};
