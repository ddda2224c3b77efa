// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The git command, for tests that make real repositories in temporary folders.
namespace TestGit {

// Runs `git arguments` in `folder` as a tester of its own, whatever the machine's configuration;
// a failure's words go to the test's output.
bool run(const QString &folder, const QStringList &arguments);

} // namespace TestGit
