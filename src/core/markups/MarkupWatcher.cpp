// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupWatcher.h"

#include "core/markups/MarkupPattern.h"
#include "core/markups/MarkupTreeScan.h"
#include "core/support/FreedMemory.h"
#include "core/support/LocalPath.h"
#include "core/support/Log.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace {

// Ahead of routine background work: the user is waiting for the markups screen to fill.
constexpr int kUserInitiatedPriority = 1;

// Length of the "TODO" or "FIXME" that ends right before position `colon` of `line`, or 0.
int keywordLengthBefore(QStringView line, qsizetype colon)
{
    if (colon >= 4 && line.sliced(colon - 4, 4) == u"TODO")
        return 4;
    if (colon >= 5 && line.sliced(colon - 5, 5) == u"FIXME")
        return 5;
    return 0;
}

} // namespace

MarkupWatcher::MarkupWatcher(QObject *parent)
    : QObject(parent)
{}

void MarkupWatcher::scanDirectory(const QUrl &directory, const QStringList &extensions,
                                  Completion completion)
{
    Log::line(QStringLiteral("Running preliminary checks in ") + LocalPath::fromUrl(directory) +
              QStringLiteral("..."));
    // The task captures nothing of `this`: the watcher may be gone before the scan ends.
    QThreadPool::globalInstance()->start(
        [directory, extensions, completion = std::move(completion)]() mutable {
            MarkupList markups = collectMarkups(directory, extensions);
            QCoreApplication *application = QCoreApplication::instance();
            if (!application)
                return; // shutting down: there is no main thread left to answer on
            QMetaObject::invokeMethod(
                application,
                [completion = std::move(completion), markups = std::move(markups)]() mutable {
                    if (completion)
                        completion(std::move(markups));
                    markups = MarkupList();
                    // The walk's file list and every file read are freed by now.
                    FreedMemory::releaseSoon();
                },
                Qt::QueuedConnection);
        },
        kUserInitiatedPriority);
}

MarkupList MarkupWatcher::collectMarkups(const QUrl &directory, const QStringList &extensions)
{
    return MarkupTreeScan::run(LocalPath::fromUrl(directory), extensions);
}

MarkupList MarkupWatcher::findMarkups(const QString &content, const QString &filePath)
{
    MarkupList found;
    const QStringView text(content);
    const qsizetype size = text.size();
    qint64 line = 1;
    qsizetype lineStart = 0;
    while (true) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < size && !MarkupPattern::isLineBreak(text[lineEnd].unicode()))
            ++lineEnd;
        const QStringView current = text.sliced(lineStart, lineEnd - lineStart);
        for (qsizetype i = current.indexOf(u':'); i >= 0; i = current.indexOf(u':', i + 1)) {
            if (const int keyword = keywordLengthBefore(current, i)) {
                // A colon that ends the line leaves nothing for ".+" to match.
                if (i + 1 < current.size())
                    found.append(MarkupPattern::makeMarkup(line, keyword == 5,
                                                           current.sliced(i + 1), filePath));
                break;
            }
        }
        if (lineEnd == size)
            break;
        lineStart = lineEnd + 1;
        ++line;
    }
    return found;
}
