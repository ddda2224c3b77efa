// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/support/FileOpener.h"

#include "core/support/Log.h"
#include "core/support/UserDefaults.h"
#include "gui/support/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QProcess>

namespace {

FileOpener *s_installed = nullptr;

} // namespace

std::optional<QStringList> FileOpener::commandLine(const QString &command, const QString &path,
                                                   qint64 line)
{
    QStringList arguments = QProcess::splitCommand(command);
    if (arguments.isEmpty())
        return std::nullopt;
    const QString lineText = QString::number(std::max<qint64>(line, 1));
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{file}"), path)
            .replace(QStringLiteral("{line}"), lineText);
    return arguments;
}

FileOpener &FileOpener::current()
{
    static DesktopFileOpener desktop;
    return s_installed ? *s_installed : desktop;
}

void FileOpener::install(FileOpener *opener)
{
    s_installed = opener;
}

DesktopFileOpener::DesktopFileOpener(const UserDefaults *settings, UrlOpener openUrl)
    : m_settings(settings)
    , m_openUrl(openUrl ? std::move(openUrl)
                        : [](const QUrl &url) { return QDesktopServices::openUrl(url); })
{}

void DesktopFileOpener::open(const QString &path, qint64 line)
{
    const QString command =
        m_settings ? m_settings->value(commandKey).toString().trimmed() : QString();
    if (const std::optional<QStringList> arguments = commandLine(command, path, line)) {
        if (QProcess::startDetached(arguments->first(), arguments->mid(1)))
            return;
        Log::line(QStringLiteral("Could not start \"%1\"; opening %2 with the "
                                 "default application instead")
                      .arg(command, path));
    }
    if (!m_openUrl(QUrl::fromLocalFile(path)))
        Dialogs::current().showFailure(
            QApplication::activeWindow(), QStringLiteral("Could not open the file"),
            QStringLiteral("No application opened \"%1\". You can choose one in Settings, "
                           "under \"Open files with\".")
                .arg(path));
}
