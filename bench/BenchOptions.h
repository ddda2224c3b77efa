// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>

// The options every benchmark over generated trees takes, spelled the same everywhere.
namespace BenchOptions {

inline QCommandLineOption repetitions(int defaultCount)
{
    return QCommandLineOption(QStringLiteral("reps"),
                              QStringLiteral("Timed runs of each (default %1).").arg(defaultCount),
                              QStringLiteral("N"), QString::number(defaultCount));
}

// For a benchmark whose only option is --reps: parses the command line and returns the count.
inline int repetitionsOnly(const QCoreApplication &app, int defaultCount)
{
    QCommandLineParser parser;
    const QCommandLineOption reps = repetitions(defaultCount);
    parser.addOption(reps);
    parser.addHelpOption();
    parser.process(app);
    return std::max(1, parser.value(reps).toInt());
}

// Only the benchmarks over generated trees are told where the generator is.
#ifdef SPRUCER_TREE_GENERATOR
inline QCommandLineOption generator()
{
    return QCommandLineOption(QStringLiteral("generator"),
                              QStringLiteral("gen_tree.py, which builds the synthetic trees."),
                              QStringLiteral("PATH"), QStringLiteral(SPRUCER_TREE_GENERATOR));
}
#endif

// The preset of gen_tree.py; `defaultValue` may list several, comma-separated.
inline QCommandLineOption preset(const QString &defaultValue)
{
    return QCommandLineOption(
        QStringLiteral("preset"),
        QStringLiteral("Tree preset: small, medium or large (default %1).").arg(defaultValue),
        QStringLiteral("NAME"), defaultValue);
}

// The peer tool compared with, found on the PATH unless given.
inline QCommandLineOption peer(const QString &name, const QString &defaultPath = {})
{
    return QCommandLineOption(name, QStringLiteral("The %1 binary.").arg(name),
                              QStringLiteral("PATH"), defaultPath);
}

} // namespace BenchOptions
