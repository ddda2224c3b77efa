// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DesktopSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Debian's own interpreter: pyatspi and the GObject bindings exist only for it.
const QString kPython = u"/usr/bin/python3"_s;

// Each of the four parts may take the harness's 10 s on a busy machine.
constexpr int kStartTimeoutMs = 60000;
constexpr int kStopTimeoutMs = 15000;

QString tail(const QByteArray &text, qsizetype characters = 1500)
{
    const QString whole = QString::fromUtf8(text).trimmed();
    return whole.size() > characters ? u"…"_s + whole.right(characters) : whole;
}

} // namespace

QString DesktopSession::Run::summary() const
{
    QString line = command + u": "_s;
    line += finished ? u"exit %1"_s.arg(exitCode) : u"did not end in time"_s;
    if (!out.trimmed().isEmpty())
        line += u"; out: "_s + tail(out);
    if (!err.trimmed().isEmpty())
        line += u"; err: "_s + tail(err);
    return line;
}

DesktopSession::DesktopSession(const QString &harnessDirectory)
    : m_harness(harnessDirectory)
    , m_run(QDir::tempPath() + u"/sprucer-desktop-XXXXXX"_s)
{}

DesktopSession::~DesktopSession()
{
    stop();
}

QString DesktopSession::missingPackages()
{
    QStringList missing;
    const std::pair<const char *, const char *> programs[] = {
        {"Xvfb", "xvfb"},          {"xdpyinfo", "x11-utils"},      {"xprop", "x11-utils"},
        {"xdotool", "xdotool"},    {"openbox", "openbox"},         {"trayer", "trayer"},
        {"import", "imagemagick"}, {"dbus-daemon", "dbus-daemon"}, {"dbus-send", "dbus-bin"},
    };
    for (const auto &[program, package] : programs) {
        const QString name = QString::fromLatin1(package);
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty() &&
            !missing.contains(name))
            missing << name;
    }
    if (!QFile::exists(u"/usr/libexec/at-spi-bus-launcher"_s))
        missing << u"at-spi2-core"_s;
    if (!QFile::exists(kPython))
        return (missing << u"python3"_s).join(u' ');

    QProcess python;
    python.start(kPython, {u"-c"_s, uR"(
import importlib
missing = []
for module, package in (("gi", "python3-gi"), ("pyatspi", "python3-pyatspi"),
                        ("Xlib", "python3-xlib")):
    try:
        importlib.import_module(module)
    except ImportError:
        missing.append(package)
try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError):
    missing.append("gir1.2-atspi-2.0")
print(" ".join(dict.fromkeys(missing)))
)"_s});
    if (!python.waitForFinished(15000)) {
        python.kill();
        python.waitForFinished(1000);
        return (missing << u"(python3 did not answer)"_s).join(u' ');
    }
    const QString modules = QString::fromUtf8(python.readAllStandardOutput()).trimmed();
    if (!modules.isEmpty())
        missing << modules;
    return missing.join(u' ');
}

bool DesktopSession::start(QString *failure)
{
    if (!m_run.isValid()) {
        *failure = u"no temporary folder for the session: "_s + m_run.errorString();
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"GUIH_RUN"_s, m_run.path());
    // Ours must not reach anything of the desktop the test may have been started from.
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"DBUS_SESSION_BUS_ADDRESS"_s,
                                u"AT_SPI_BUS_ADDRESS"_s})
        environment.remove(name);
    m_holder.setProcessEnvironment(environment);
    m_holder.start(u"bash"_s, {m_harness + u"/session.sh"_s});

    const QDeadlineTimer deadline(kStartTimeoutMs);
    QByteArray out;
    while (!out.contains(QByteArrayView("ready\0", 6))) {
        if (m_holder.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_startLog += m_holder.readAllStandardError();
            *failure = u"the desktop session did not start (%1): %2"_s.arg(
                m_holder.state() == QProcess::NotRunning ? u"exit %1"_s.arg(m_holder.exitCode())
                                                         : u"no answer in time"_s,
                tail(m_startLog, 4000));
            stop();
            return false;
        }
        m_holder.waitForReadyRead(200);
        out += m_holder.readAllStandardOutput();
        m_startLog += m_holder.readAllStandardError();
    }
    for (const QByteArray &record : out.split('\0')) {
        const qsizetype equals = record.indexOf('=');
        if (equals > 0)
            m_exported.insert(QString::fromUtf8(record.left(equals)),
                              QString::fromUtf8(record.mid(equals + 1)));
    }
    return true;
}

void DesktopSession::stop()
{
    if (m_holder.state() == QProcess::NotRunning)
        return;
    m_holder.closeWriteChannel(); // session.sh stops everything on end of input
    if (!m_holder.waitForFinished(kStopTimeoutMs)) {
        m_holder.kill();
        m_holder.waitForFinished(1000);
    }
}

QString DesktopSession::timings() const
{
    QFile file(m_run.filePath(u"timings"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.remove(u"AT_SPI_BUS_ADDRESS"_s);
    for (const QString &name : m_exported.keys())
        environment.insert(name, m_exported.value(name));
    return environment;
}

DesktopSession::Run DesktopSession::run(const QString &program, const QStringList &arguments,
                                        int timeoutMs) const
{
    Run result;
    result.command = (QStringList{program} + arguments).join(u' ');
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    if (process.error() == QProcess::FailedToStart)
        result.err += process.errorString().toUtf8();
    return result;
}

DesktopSession::Run DesktopSession::a11y(const QStringList &arguments, int timeoutMs) const
{
    return run(kPython, QStringList{m_harness + u"/a11y.py"_s} + arguments, timeoutMs);
}

DesktopSession::Run DesktopSession::xtray(const QStringList &arguments, int timeoutMs) const
{
    return run(kPython, QStringList{m_harness + u"/xtray.py"_s} + arguments, timeoutMs);
}

DesktopSession::Run DesktopSession::xdotool(const QStringList &arguments, int timeoutMs) const
{
    return run(u"xdotool"_s, arguments, timeoutMs);
}

DesktopSession::Run DesktopSession::screenshot(const QString &file, const QString &window) const
{
    QStringList arguments{u"-c"_s, u". \"$0/harness.sh\" && screenshot \"$@\""_s, m_harness, file};
    if (!window.isEmpty())
        arguments << window;
    return run(u"bash"_s, arguments, 20000);
}

QString DesktopSession::helperCommand(const QString &script, const QStringList &arguments) const
{
    QStringList words{kPython, m_harness + u'/' + script};
    words += arguments;
    for (QString &word : words)
        word = u'\'' + QString(word).replace(u'\'', u"'\\''"_s) + u'\'';
    return words.join(u' ');
}
