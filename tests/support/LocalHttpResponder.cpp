// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LocalHttpResponder.h"

#include <QTcpSocket>

LocalHttpResponder::Reply LocalHttpResponder::Reply::withStatus(int status, QByteArray body,
                                                                QByteArray headers)
{
    return Reply{Kind::Status, status, std::move(body), std::move(headers)};
}

LocalHttpResponder::Reply LocalHttpResponder::Reply::garbage()
{
    return Reply{Kind::Garbage, 0, {}, {}};
}

LocalHttpResponder::Reply LocalHttpResponder::Reply::noAnswer()
{
    return Reply{Kind::NoAnswer, 0, {}, {}};
}

LocalHttpResponder::LocalHttpResponder(QObject *parent)
    : QObject(parent)
{
    if (!m_server.listen(QHostAddress::LocalHost))
        qFatal("LocalHttpResponder: cannot listen on 127.0.0.1");
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            m_buffers.insert(socket, {});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

QUrl LocalHttpResponder::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

quint16 LocalHttpResponder::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again as `probe` goes
}

void LocalHttpResponder::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    // Several requests may arrive on one kept-alive connection.
    while (true) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        Request request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);
        answer(socket);
        Q_EMIT requestReceived();
        if (!m_buffers.contains(socket))
            return;
    }
}

void LocalHttpResponder::answer(QTcpSocket *socket)
{
    const Reply reply = m_script.isEmpty() ? m_defaultReply : m_script.takeFirst();
    switch (reply.kind) {
    case Reply::Kind::NoAnswer:
        return;
    case Reply::Kind::Garbage:
        socket->write("\x01\x02 this is not HTTP \xff\xfe\r\n\r\n");
        socket->disconnectFromHost();
        return;
    case Reply::Kind::Status:
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) +
                      " Scripted\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(reply.body.size()) + "\r\n" + reply.headers + "\r\n" +
                      reply.body);
        return;
    }
}
