// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/support/Error.h"

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLocalSocket;

// Keeps Sprucer to one process per user: two would both format every save and race on the
// stores. The first process takes a lock and listens for requests from later ones; a later one
// learns who holds the lock and may ask it to bring its window to the front. A crashed holder's
// lock is taken over (its pid is dead). Main thread.
//
// A command of the command line that changes the stores takes the lock too, for the moment of
// its change, so that a Sprucer starting meanwhile waits for it instead of reading half of it;
// while a Sprucer runs, the command is handed to it instead (`sendCommand`).
class InstanceGuard : public QObject
{
    Q_OBJECT

public:
    enum class Mode
    {
        window,
        headless,
        commandLine, // holds the lock for a moment and answers nobody
    };
    enum class ShowResult
    {
        shown,
        headless,
        noAnswer
    };

    struct RunningInstance
    {
        qint64 pid = 0;           // 0 when the lock could not be read
        std::optional<Mode> mode; // empty while the holder has not written it yet
        QString service;          // the holder's service unit, when a service manager runs it
    };

    // `folder` holds the lock, the socket and the holder's mode; defaultFolder() when empty.
    explicit InstanceGuard(Mode mode, const QString &folder = QString(), QObject *parent = nullptr);
    ~InstanceGuard() override;

    // The runtime folder, or the caches' folder when the session has none.
    static QString defaultFolder();

    // The service manager's unit this process runs as ("sprucer.service"), noted beside the
    // mode so that a later process can say how to stop it. Call before acquire(); a name that
    // is not a plain unit name is ignored.
    void setServiceName(const QString &unit);

    // True when this process is now the only instance; it then answers later ones.
    bool acquire();

    // Set when acquire() failed because another process holds the lock.
    std::optional<RunningInstance> runningInstance() const { return m_running; }
    // Set when acquire() failed for another reason (e.g. the folder cannot be written).
    std::optional<Error> error() const { return m_error; }

    // The one line that says why this process does not start, after acquire() failed.
    QString refusalLine() const;

    // From a later process: asks the holder to bring its main window to the front. Blocks for
    // at most `timeoutMs`.
    ShowResult askToShowWindow(int timeoutMs = 2000);

    // In the holder: what answers a command sent by a later process (its request and reply are
    // the command line's own bytes). Without one, commands go unanswered.
    using CommandHandler = std::function<QByteArray(const QByteArray &request)>;
    void setCommandHandler(CommandHandler handler) { m_commandHandler = std::move(handler); }

    // From a later process: hands a command to the holder and waits for its reply; nothing when
    // the holder did not answer within `timeoutMs`.
    std::optional<QByteArray> sendCommand(const QByteArray &request, int timeoutMs = 30000);

Q_SIGNALS:
    // In the holder, in window mode, when a later process asked for the window.
    void showWindowRequested();

private:
    void listen();
    void serve(QLocalSocket *socket);
    void answer(QLocalSocket *socket, const QByteArray &request);
    std::optional<QByteArray> exchange(const QByteArray &line, int timeoutMs,
                                       qsizetype maxReply) const;
    RunningInstance readHolder(qint64 pid) const;
    static bool holderLetsGoSoon(const RunningInstance &holder, qint64 waitedMs);

    Mode m_mode;
    QString m_service;
    CommandHandler m_commandHandler;
    QString m_folder;
    QLockFile m_lock;
    QLocalServer m_server;
    std::optional<RunningInstance> m_running;
    std::optional<Error> m_error;
};
