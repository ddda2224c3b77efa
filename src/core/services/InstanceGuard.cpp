// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/InstanceGuard.h"

#include "core/support/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype maxLine = 64;
constexpr qsizetype maxModeFile = 256;
// A command carries at most a configuration's text and a few paths.
constexpr qsizetype maxCommand = qsizetype{16} * 1024 * 1024;
// A command of the command line holds the lock for a moment; longer means it hangs.
constexpr int commandLineHoldMs = 5000;
// A holder writes its mode right after taking the lock.
constexpr int modeUnwrittenMs = 500;

QString filePath(const QString &folder, QStringView suffix)
{
    return folder + u"/com.velmora.Sprucer."_s + suffix;
}

QByteArray modeName(InstanceGuard::Mode mode)
{
    switch (mode) {
    case InstanceGuard::Mode::window:
        return "window"_ba;
    case InstanceGuard::Mode::headless:
        return "headless"_ba;
    case InstanceGuard::Mode::commandLine:
        break;
    }
    return "command-line"_ba;
}

// The name goes into a command the user is told to run, so only a plain unit name will do.
bool isUnitName(QStringView name)
{
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               QStringView(u"@._:-").contains(c);
    };
    return name.size() <= 100 && name.endsWith(u".service") &&
           std::all_of(name.begin(), name.end(), plain);
}

} // namespace

InstanceGuard::InstanceGuard(Mode mode, const QString &folder, QObject *parent)
    : QObject(parent)
    , m_mode(mode)
    , m_folder(folder.isEmpty() ? defaultFolder() : folder)
    , m_lock(filePath(m_folder, u"lock"))
{
    // Held for the whole life of the process, so age says nothing; only a dead pid makes it stale.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

InstanceGuard::~InstanceGuard()
{
    if (!m_lock.isLocked())
        return;
    m_server.close();
    QFile::remove(filePath(m_folder, u"mode"));
    m_lock.unlock();
}

QString InstanceGuard::defaultFolder()
{
    // Without XDG_RUNTIME_DIR Qt would make up a folder in /tmp and warn about it.
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/Sprucer"_s;
}

bool InstanceGuard::acquire()
{
    if (m_lock.isLocked())
        return true;
    m_running.reset();
    m_error.reset();
    if (!QDir().mkpath(m_folder)) {
        m_error = Error{u"InstanceGuard"_s, 1, u"could not create the folder "_s + m_folder};
        return false;
    }
    // A holder that is just quitting leaves a lock without its details for a moment; one that
    // has just started has not written its mode yet; a command of the command line lets go soon.
    QElapsedTimer started;
    started.start();
    int unreadable = 0;
    while (true) {
        if (m_lock.tryLock(0)) {
            QSaveFile file(filePath(m_folder, u"mode"));
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                           modeName(m_mode) + '\n' + m_service.toLatin1() + '\n') < 0 ||
                !file.commit())
                Log::line(u"Could not note the instance's mode in "_s + file.fileName() + u": "_s +
                          file.errorString());
            if (m_mode != Mode::commandLine)
                listen();
            return true;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            m_error = Error{u"InstanceGuard"_s, 2,
                            u"could not create the lock file "_s + filePath(m_folder, u"lock")};
            return false;
        }
        qint64 pid = 0;
        QString hostName;
        QString appName;
        if (m_lock.getLockInfo(&pid, &hostName, &appName)) {
            m_running = readHolder(pid);
            if (!holderLetsGoSoon(*m_running, started.elapsed()))
                return false;
        } else if (++unreadable >= 3) {
            m_running = RunningInstance{};
            return false;
        }
        QThread::msleep(20);
    }
}

bool InstanceGuard::holderLetsGoSoon(const RunningInstance &holder, qint64 waitedMs)
{
    if (holder.mode == Mode::commandLine)
        return waitedMs < commandLineHoldMs;
    return !holder.mode && waitedMs < modeUnwrittenMs;
}

void InstanceGuard::setServiceName(const QString &unit)
{
    m_service = isUnitName(unit) ? unit : QString();
}

InstanceGuard::RunningInstance InstanceGuard::readHolder(qint64 pid) const
{
    RunningInstance holder{pid, std::nullopt, QString()};
    QFile file(filePath(m_folder, u"mode"));
    if (!file.open(QIODevice::ReadOnly))
        return holder;
    const QList<QByteArray> lines = file.read(maxModeFile).split('\n');
    // A crashed predecessor's file says nothing about the holder.
    if (lines.size() < 2 || lines[0].toLongLong() != pid)
        return holder;
    for (const Mode mode : {Mode::window, Mode::headless, Mode::commandLine}) {
        if (lines[1] == modeName(mode))
            holder.mode = mode;
    }
    if (lines.size() > 2 && isUnitName(QString::fromLatin1(lines[2])))
        holder.service = QString::fromLatin1(lines[2]);
    return holder;
}

void InstanceGuard::listen()
{
    const QString name = filePath(m_folder, u"socket");
    QLocalServer::removeServer(name); // a crashed holder's socket; the lock says it is gone
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name))
        Log::line(u"Later instances cannot reach this one: "_s + m_server.errorString());
}

void InstanceGuard::serve(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A client that never finishes its request is not kept.
    QTimer::singleShot(5000, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->setReadBufferSize(maxCommand + 2);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > maxCommand)
                socket->abort();
            return;
        }
        const QByteArray request = socket->readLine(maxCommand + 2).trimmed();
        if (request == "show") {
            socket->write(m_mode == Mode::window ? "shown\n" : "headless\n");
            if (m_mode == Mode::window)
                Q_EMIT showWindowRequested();
        } else if (request.startsWith("command ")) {
            answer(socket, QByteArray::fromBase64(request.mid(8)));
        }
        socket->disconnectFromServer();
    });
}

void InstanceGuard::answer(QLocalSocket *socket, const QByteArray &request)
{
    if (!m_commandHandler)
        return; // unanswered: the command line then says so
    socket->write("reply " + m_commandHandler(request).toBase64() + '\n');
}

std::optional<QByteArray> InstanceGuard::exchange(const QByteArray &line, int timeoutMs,
                                                  qsizetype maxReply) const
{
    const QDeadlineTimer deadline(timeoutMs);
    const auto left = [&deadline] {
        return int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
    };
    QLocalSocket socket;
    socket.connectToServer(filePath(m_folder, u"socket"));
    if (!socket.waitForConnected(left()))
        return std::nullopt;
    socket.write(line + '\n');
    socket.flush();
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() <= maxReply) {
        if (!socket.waitForReadyRead(left()) && socket.bytesAvailable() == 0)
            break;
        reply += socket.readAll();
    }
    if (!reply.contains('\n'))
        return std::nullopt;
    return reply.left(reply.indexOf('\n'));
}

InstanceGuard::ShowResult InstanceGuard::askToShowWindow(int timeoutMs)
{
    const std::optional<QByteArray> answer = exchange("show", timeoutMs, maxLine);
    if (answer == "shown")
        return ShowResult::shown;
    if (answer == "headless")
        return ShowResult::headless;
    return ShowResult::noAnswer;
}

std::optional<QByteArray> InstanceGuard::sendCommand(const QByteArray &request, int timeoutMs)
{
    const std::optional<QByteArray> answer =
        exchange("command " + request.toBase64(), timeoutMs, maxCommand);
    if (!answer || !answer->startsWith("reply "))
        return std::nullopt;
    return QByteArray::fromBase64(answer->mid(6));
}

QString InstanceGuard::refusalLine() const
{
    if (m_error)
        return u"Sprucer cannot make sure it runs only once: "_s + m_error->description;
    if (!m_running)
        return {};
    if (m_running->pid <= 0)
        return u"Sprucer is already running."_s;
    const QString pid = QString::number(m_running->pid);
    if (m_running->mode == Mode::window)
        return u"Sprucer is already running (process %1, with a window). Use that window, or "
               u"quit Sprucer there first."_s.arg(pid);
    if (!m_running->service.isEmpty())
        return u"Sprucer is already running (process %1, without a window, as the user service "
               u"%2). Stop it first with: systemctl --user stop %2"_s.arg(pid, m_running->service);
    if (m_running->mode == Mode::commandLine)
        return u"A Sprucer command (process %1) is changing the settings; try again in a moment."_s
            .arg(pid);
    const QString how = m_running->mode == Mode::headless ? u", without a window"_s : QString();
    return u"Sprucer is already running (process %1%2). Stop it first, for example with: kill %1"_s
        .arg(pid, how);
}
