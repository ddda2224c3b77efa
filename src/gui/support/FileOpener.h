// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class UserDefaults;

// Opens a source file for the user: with the command they chose in the settings ("Open files
// with", e.g. `code --goto {file}:{line}`), else with the desktop's default application. The
// application installs one that reads the user's settings; tests install an implementation of
// their own that records what was opened.
class FileOpener
{
public:
    static inline const QString commandKey = QStringLiteral("openWithCommand");

    virtual ~FileOpener() = default;

    // `line` 0: no line to land on.
    virtual void open(const QString &path, qint64 line) = 0;

    // The program and its arguments for `command` with `{file}` and `{line}` replaced; nothing
    // for an empty or unbalanced command. Run as given, never through a shell.
    static std::optional<QStringList> commandLine(const QString &command, const QString &path,
                                                  qint64 line);

    static FileOpener &current();
    // Null puts back the default one, which knows no command of the user's.
    static void install(FileOpener *opener);
};

// The one that runs the user's command, falling back to the default application.
class DesktopFileOpener : public FileOpener
{
public:
    using UrlOpener = std::function<bool(const QUrl &)>;

    // The command is read from `settings` (none: always the default application); an empty
    // `openUrl` is the desktop's default application.
    explicit DesktopFileOpener(const UserDefaults *settings = nullptr, UrlOpener openUrl = {});

    void open(const QString &path, qint64 line) override;

private:
    const UserDefaults *m_settings;
    UrlOpener m_openUrl;
};
