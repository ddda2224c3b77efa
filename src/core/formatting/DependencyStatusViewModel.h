// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/model/Languages.h"

#include <QObject>
#include <QString>

#include <optional>

class DependencyChecker;

// Whether each formatting tool is installed, and if not what to tell the user, for the
// configuration dashboard. Lives on the main thread; each property signals only real changes.
// The clang-format pair serves both the C++ and the Objective-C card.
class DependencyStatusViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool swiftLintInstalled READ swiftLintInstalled NOTIFY swiftLintInstalledChanged)
    Q_PROPERTY(
        bool clangFormatInstalled READ clangFormatInstalled NOTIFY clangFormatInstalledChanged)
    Q_PROPERTY(bool ktlintInstalled READ ktlintInstalled NOTIFY ktlintInstalledChanged)
    Q_PROPERTY(
        std::optional<QString> swiftLintError READ swiftLintError NOTIFY swiftLintErrorChanged)
    Q_PROPERTY(std::optional<QString> clangFormatError READ clangFormatError NOTIFY
                   clangFormatErrorChanged)
    Q_PROPERTY(std::optional<QString> ktlintFormatError READ ktlintFormatError NOTIFY
                   ktlintFormatErrorChanged)

public:
    explicit DependencyStatusViewModel(QObject *parent = nullptr);
    // Tests hand in a checker that looks in their own folders.
    explicit DependencyStatusViewModel(const DependencyChecker &checker, QObject *parent = nullptr);

    bool swiftLintInstalled() const { return m_swiftLintInstalled; }
    bool clangFormatInstalled() const { return m_clangFormatInstalled; }
    bool ktlintInstalled() const { return m_ktlintInstalled; }
    std::optional<QString> swiftLintError() const { return m_swiftLintError; }
    std::optional<QString> clangFormatError() const { return m_clangFormatError; }
    std::optional<QString> ktlintFormatError() const { return m_ktlintFormatError; }

    // The pair of a tool, as above.
    bool installed(FormattingTool tool) const;
    std::optional<QString> error(FormattingTool tool) const;

    // swiftlint, clang-format, ktlint in turn; a missing tool does not stop the others.
    void checkAllDependencies();

Q_SIGNALS:
    void swiftLintInstalledChanged(bool installed);
    void clangFormatInstalledChanged(bool installed);
    void ktlintInstalledChanged(bool installed);
    void swiftLintErrorChanged(const std::optional<QString> &error);
    void clangFormatErrorChanged(const std::optional<QString> &error);
    void ktlintFormatErrorChanged(const std::optional<QString> &error);

private:
    struct Row;
    static const QList<Row> &rows();
    static const Row &row(FormattingTool tool);

    const DependencyChecker &m_checker;
    bool m_swiftLintInstalled = false;
    bool m_clangFormatInstalled = false;
    bool m_ktlintInstalled = false;
    std::optional<QString> m_swiftLintError;
    std::optional<QString> m_clangFormatError;
    std::optional<QString> m_ktlintFormatError;
};
