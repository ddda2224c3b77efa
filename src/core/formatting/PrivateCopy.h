// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Result.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

class CopyJournal;
class SavedFile;

// A copy of a user's file that its tool may rewrite while the user goes on saving the file. It
// has the file's name, in a folder of its own that goes when the copy does. A tool that looks
// for project settings above the file gets its copy in a hidden folder beside the file, so it
// sees what it would see on the file itself; any other gets it outside the user's tree, where
// neither builds nor version control nor indexers come across it.
class PrivateCopy
{
public:
    enum class Place
    {
        besideFile,
        outsideTree, // beside the file when the journal has no folder for it
    };

    static Result<std::unique_ptr<PrivateCopy>> make(const SavedFile &file, CopyJournal *journal,
                                                     Place place);
    // `bytes` under the file's name beside it, where a result can take the file's place in one
    // step (a rename does not cross file systems).
    static Result<std::unique_ptr<PrivateCopy>>
    makeBeside(const SavedFile &file, const QByteArray &bytes, CopyJournal *journal);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy &) = delete;
    PrivateCopy &operator=(const PrivateCopy &) = delete;

    const QString &path() const { return m_path; }
    bool isBesideFile() const { return m_besideFile; }

private:
    PrivateCopy(const QString &directoryTemplate, CopyJournal *journal, bool besideFile);
    static Result<std::unique_ptr<PrivateCopy>> write(const SavedFile &file,
                                                      const QByteArray &bytes,
                                                      const QString &folder, CopyJournal *journal,
                                                      bool besideFile);

    QTemporaryDir m_directory;
    QString m_path;
    CopyJournal *m_journal;
    QString m_note;
    bool m_besideFile;
};
