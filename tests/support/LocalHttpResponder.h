// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests. It records every request and answers each
// with the next scripted reply, or with the default reply (200, "{}") once the script is used
// up. Lives on the test's main thread.
class LocalHttpResponder : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    struct Reply
    {
        enum class Kind
        {
            Status,
            Garbage,
            NoAnswer
        };
        Kind kind = Kind::Status;
        int status = 200;
        QByteArray body = "{}";
        QByteArray headers; // extra header lines, each ending in "\r\n"

        static Reply withStatus(int status, QByteArray body = "{}", QByteArray headers = {});
        // Bytes that are not HTTP, then the connection is closed.
        static Reply garbage();
        // Keeps the connection open and never says a word.
        static Reply noAnswer();
    };

    explicit LocalHttpResponder(QObject *parent = nullptr);

    QUrl url() const;
    void enqueue(const Reply &reply) { m_script.append(reply); }
    void setDefaultReply(const Reply &reply) { m_defaultReply = reply; }
    const QList<Request> &requests() const { return m_requests; }

    // A port on 127.0.0.1 where nothing listens, for an unreachable endpoint.
    static quint16 closedPort();

Q_SIGNALS:
    void requestReceived();

private:
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket);

    QTcpServer m_server;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    QList<Reply> m_script;
    Reply m_defaultReply;
    QList<Request> m_requests;
};
