// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/CodeCounterModel.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A home of its own with one active C++ watcher on "My Project" (clang-format, LLVM indented
// by 4), stored as an earlier release wrote it, in which the real program is started.
class SeededHome
{
public:
    static inline const QString watcherId = QStringLiteral("3F2504E0-4F89-41D3-9A0C-0305E82C3301");
    static inline const QByteArray unformatted = "int   main( ){int x=1;return    x;}\n";
    // The real clang-format's output under the stored style.
    static inline const QByteArray formatted = "int main() {\n    int x = 1;\n    return x;\n}\n";

    SeededHome();

    // Another run of the program in this home; `toolsFirst` goes before the PATH.
    void start(QProcess &process, const QStringList &arguments,
               const QString &toolsFirst = QString()) const;
    // What a run of the program in this home gets: the folders of this home, no display.
    QProcessEnvironment environment() const;
    // Ends the program as a service manager does; how long it took in ms, -1 on a bad exit.
    static qint64 terminate(QProcess &process);

    QList<CodeCounterModel> storedCounts() const;

    QString path(const QString &relative) const { return m_home + u'/' + relative; }
    QString project() const { return path(QStringLiteral("My Project")); }
    // The style file of the watcher's configuration "LLVM 4".
    QString configurationFile() const;
    // Another configuration, used by no watcher; its id.
    QString addConfiguration(const QString &codeKind, const QString &name,
                             const QString &configurationFile) const;
    // Another active watcher, of `codeKind` ("kotlin", "swift") on `folder`, whose configuration
    // is `configurationFile`; set before the program starts.
    void addWatcher(const QString &codeKind, const QString &folder,
                    const QString &configurationFile) const;
    // A user default as the program keeps it, set before the program starts.
    void setStoredValue(const QString &key, const QVariant &value) const;

    static QByteArray readAll(const QString &path);
    static bool writeFile(const QString &path, const QByteArray &content);

private:
    QTemporaryDir m_directory;
    QString m_home = m_directory.path();
};
