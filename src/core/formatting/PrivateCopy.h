// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

class CopyJournal;
class SavedFile;

// A copy of a user's file that its tool may rewrite while the user goes on saving the file. It
// has the file's name and lives in a hidden folder beside it, so the tool's rules on file names,
// its language detection and its search for project settings above the file all see what they
// would see on the file itself. The folder goes when the copy does.
class PrivateCopy
{
public:
    static Result<std::unique_ptr<PrivateCopy>> make(const SavedFile &file, CopyJournal *journal);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    const QString &path() const { return m_path; }

private:
    PrivateCopy(const QString &directoryTemplate, CopyJournal *journal);

    QTemporaryDir m_directory;
    QString m_path;
    CopyJournal *m_journal;
    QString m_note;
};
