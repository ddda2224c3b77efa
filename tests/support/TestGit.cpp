// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestGit.h"

#include <QProcess>

namespace TestGit {

bool run(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    const QStringList tester{QStringLiteral("-c"), QStringLiteral("user.name=Tester"),
                             QStringLiteral("-c"), QStringLiteral("user.email=tester@example.org")};
    process.start(QStringLiteral("git"), tester + arguments);
    const bool ran = process.waitForFinished(30000) &&
                     process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ran)
        qWarning("git %s: %s", qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
    return ran;
}

} // namespace TestGit
