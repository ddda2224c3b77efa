// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class UserDefaults;

// A throw-away home for one test process: HOME and the XDG folders point into a temporary
// directory and the user defaults live in a file there, so no test touches the user's files.
class TestHome
{
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    // The home of the running test process.
    static TestHome &current();
    // The user defaults of the running test process, in its home.
    static UserDefaults &settings();

    QString path() const { return m_dir.path(); }
    QString configDirectory() const;
    QString cacheDirectory() const;
    QString dataDirectory() const;
    QString userDefaultsFile() const;

    // Empties the user defaults and removes their backups, the log and the configuration files:
    // every test's init() calls it.
    void reset();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<UserDefaults> m_settings; // goes before the folder does
};
