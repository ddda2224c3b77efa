// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/PrivateCopy.h"

#include "core/formatting/CopyJournal.h"
#include "core/formatting/SavedFile.h"
#include "core/support/PosixFiles.h"
#include "core/support/PrivateCopyNames.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Error copyError(const QString &path, const QString &reason)
{
    return Error{QStringLiteral("PrivateCopy"), 1,
                 QStringLiteral("Could not make a private copy of ") + path + QStringLiteral(": ") +
                     reason};
}

// Writes the bytes to a new file; the write and the close both report a full disk.
int writeNewFile(const QString &path, const QByteArray &bytes, mode_t mode)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return errno;
    int error = PosixFiles::writeAllAt(fd, bytes) ? 0 : errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

PrivateCopy::PrivateCopy(const QString &directoryTemplate, CopyJournal *journal, bool besideFile)
    : m_directory(directoryTemplate)
    , m_journal(journal)
    , m_besideFile(besideFile)
{}

Result<std::unique_ptr<PrivateCopy>> PrivateCopy::make(const SavedFile &file, CopyJournal *journal,
                                                       Place place)
{
    const QString outside =
        place == Place::outsideTree && journal ? journal->outOfTreeFolder() : QString();
    if (outside.isEmpty())
        return makeBeside(file, file.bytes(), journal);
    // Not noted: the journal's sweep takes the process's whole folder.
    return write(file, file.bytes(), outside, nullptr, false);
}

Result<std::unique_ptr<PrivateCopy>>
PrivateCopy::makeBeside(const SavedFile &file, const QByteArray &bytes, CopyJournal *journal)
{
    return write(file, bytes, QFileInfo(file.path()).absolutePath(), journal, true);
}

Result<std::unique_ptr<PrivateCopy>> PrivateCopy::write(const SavedFile &file,
                                                        const QByteArray &bytes,
                                                        const QString &folder, CopyJournal *journal,
                                                        bool besideFile)
{
    const QString folderTemplate = folder + u'/' + PrivateCopyNames::directoryTemplate();
    std::unique_ptr<PrivateCopy> copy(new PrivateCopy(folderTemplate, journal, besideFile));
    if (!copy->m_directory.isValid())
        return copyError(file.path(), copy->m_directory.errorString());
    if (journal)
        copy->m_note = journal->remember(copy->m_directory.path());
    copy->m_path = copy->m_directory.filePath(QFileInfo(file.path()).fileName());
    // The owner must be able to read and write it, whatever the original's mode.
    const mode_t mode = (file.identity().mode & 0777) | S_IRUSR | S_IWUSR;
    if (const int error = writeNewFile(copy->m_path, bytes, mode))
        return copyError(file.path(), qt_error_string(error));
    return copy;
}

PrivateCopy::~PrivateCopy()
{
    m_directory.remove();
    if (m_journal)
        m_journal->forget(m_note);
}
