// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProcessProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>
#include <optional>

// The deterministic trees of gen_tree.py, made once and reused across runs.
namespace GeneratedTrees {

struct Tree
{
    QString name;
    QString path;
    int dirs = 0;
    int files = 0;
};

inline void say(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

// Generates (or reuses, when its manifest is there) a preset tree under `folder`.
inline std::optional<Tree> generated(const QString &generator, const QString &folder,
                                     const QString &preset)
{
    const QString path = folder + u'/' + preset;
    const QString manifest = path + QStringLiteral(".manifest.json");
    if (!QFile::exists(manifest) || !QFileInfo(path).isDir()) {
        say(QStringLiteral("generating the %1 tree in %2 …").arg(preset, path));
        QProcess python;
        python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        python.start(QStringLiteral("python3"), {generator, path, preset});
        if (!python.waitForFinished(-1) || python.exitCode() != 0)
            return std::nullopt;
    }
    const QJsonObject stats = QJsonDocument::fromJson(ProcessProbe::readProc(manifest)).object();
    return Tree{preset, path, stats.value(QStringLiteral("dirs")).toInt(),
                stats.value(QStringLiteral("files")).toInt()};
}

// Large trees need more watches than some systems allow; raise the limit when we may.
inline bool ensureWatchLimit(int needed)
{
    const QString knob = QStringLiteral("/proc/sys/fs/inotify/max_user_watches");
    const long limit = ProcessProbe::readProc(knob).trimmed().toLong();
    if (limit >= needed)
        return true;
    QFile file(knob);
    if (file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(needed)) > 0) {
        file.close();
        say(QStringLiteral("raised fs.inotify.max_user_watches from %1 to %2")
                .arg(limit)
                .arg(needed));
        return true;
    }
    say(QStringLiteral("fs.inotify.max_user_watches is %1, the tree needs %2: raise it "
                       "(sysctl fs.inotify.max_user_watches=%2) to measure it")
            .arg(limit)
            .arg(needed));
    return false;
}

// Enough watches for two watchers of the tree at once (ours and the peer's), and others'.
inline int watchesForTwo(const Tree &tree)
{
    return 2 * tree.dirs + tree.dirs / 5 + 1000;
}

} // namespace GeneratedTrees
