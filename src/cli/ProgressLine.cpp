// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressLine.h"

#include <QLocale>

#include <cstdio>
#include <unistd.h>

namespace {

// Often enough to look alive, rarely enough to cost nothing.
constexpr qint64 kIntervalMs = 100;

} // namespace

ProgressLine::ProgressLine(QString verb)
    : m_verb(std::move(verb))
    , m_onTerminal(::isatty(STDERR_FILENO) == 1)
{}

ProgressLine::~ProgressLine()
{
    finish();
}

void ProgressLine::show(qsizetype done, qsizetype total)
{
    if (!m_onTerminal || (m_sinceLast.isValid() && m_sinceLast.elapsed() < kIntervalMs))
        return;
    m_sinceLast.start();
    const QLocale locale;
    const QByteArray line = QStringLiteral("\r%1 %2 of %3 files…")
                                .arg(m_verb, locale.toString(done), locale.toString(total))
                                .toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    m_shown = true;
}

void ProgressLine::finish()
{
    if (!m_shown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_shown = false;
}
