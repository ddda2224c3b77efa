// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/formatting/ConfigManagerFactory.h"
#include "core/support/Console.h"
#include "core/support/UserDefaults.h"

#include <QByteArray>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUuid>

#include <memory>

// A throw-away home for a benchmark that runs the real clang-format: the XDG folders and the
// settings file point into a temporary folder, the console is quiet (the fixers' "Run Fix"
// lines would drown the figures), and one C++ style is stored as a configuration.
class FormattingHome
{
public:
    static constexpr const char *style = "BasedOnStyle: LLVM\nIndentWidth: 4\nColumnLimit: 100\n";

    FormattingHome()
    {
        Console::setSink([](const QString &) {});
        qputenv("XDG_DATA_HOME", (path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CACHE_HOME", (path() + QStringLiteral("/cache")).toUtf8());
        // As in a desktop session, whose runtime folder is a tmpfs: the formatters' private
        // copies are made there.
        if (m_runtime.isValid())
            qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        m_settings = std::make_unique<UserDefaults>(path() + QStringLiteral("/Sprucer.conf"));
        ConfigManagerFactory configurations(*m_settings);
        configurations.createConfig(configurationId, QString::fromUtf8(style),
                                    SupportedFileExtension::cpp, QStringLiteral("bench"));
        stylePath = configurations.configURL(configurationId).value().toLocalFile();
    }

    QString path() const { return m_directory.path(); }
    UserDefaults &settings() const { return *m_settings; }

    // The real clang-format on the PATH; says so on standard error when there is none.
    static QString clangFormat()
    {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("clang-format"));
        if (found.isEmpty())
            QTextStream(stderr) << "clang-format is not installed\n";
        return found;
    }

    QUuid addConfiguration(SupportedFileExtension kind, const QString &text) const
    {
        const QUuid id = QUuid::createUuid();
        ConfigManagerFactory(*m_settings).createConfig(id, text, kind, QStringLiteral("bench"));
        return id;
    }

    const QUuid configurationId = QUuid::createUuid();
    QString stylePath; // the stored style file, for running clang-format alone

private:
    QTemporaryDir m_directory;
    QTemporaryDir m_runtime{QStringLiteral("/dev/shm/sprucer-bench-runtime-XXXXXX")};
    std::unique_ptr<UserDefaults> m_settings; // goes before its folder
};
