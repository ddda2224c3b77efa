// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QTcpServer>
#include <QUrl>

using namespace Qt::StringLiterals;

// A small HTTP server on 127.0.0.1 for tests. It records every request, gives each the same
// answer and closes the connection. Lives on the test's main thread.
class LocalHttpResponder
{
public:
    struct Request
    {
        QByteArray head; // the request line and the headers
        QByteArray body;
    };

    // A whole HTTP response; `headers` are extra lines, each ending in "\r\n".
    static QByteArray reply(int status, const QByteArray &body = "{}",
                            const QByteArray &headers = {});

    // Any free port unless one is asked for.
    explicit LocalHttpResponder(quint16 port = 0);

    QUrl url() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server.serverPort())); }
    // `reply(200)` until told otherwise; an empty answer leaves the client waiting.
    void answerWith(const QByteArray &answer) { m_answer = answer; }
    const QList<Request> &requests() const { return m_requests; }

private:
    void readFrom(QTcpSocket *socket);

    QTcpServer m_server;
    QByteArray m_answer = reply(200);
    QList<Request> m_requests;
};
