// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LocalHttpResponder.h"

#include <QRegularExpression>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

QByteArray LocalHttpResponder::reply(int status, const QByteArray &body, const QByteArray &headers)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Scripted\r\nConnection: close\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body;
}

LocalHttpResponder::LocalHttpResponder(quint16 port)
{
    if (!m_server.listen(QHostAddress::LocalHost, port))
        qFatal("LocalHttpResponder: cannot listen on 127.0.0.1");
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, &m_server,
                             [this, socket] { readFrom(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void LocalHttpResponder::readFrom(QTcpSocket *socket)
{
    // Left in the socket until it is whole. Each answer closes the connection, so no second
    // request follows on it.
    const QByteArray data = socket->peek(socket->bytesAvailable());
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    const QByteArray head = data.left(headEnd);
    static const QRegularExpression length(u"content-length: *(\\d+)"_s,
                                           QRegularExpression::CaseInsensitiveOption);
    const auto size = length.match(QString::fromLatin1(head)).captured(1).toLongLong();
    if (headEnd < 0 || data.size() < headEnd + 4 + size)
        return;
    socket->readAll();
    m_requests.append(Request{head, data.mid(headEnd + 4, size)});
    if (!m_answer.isEmpty()) {
        socket->write(m_answer);
        socket->disconnectFromHost();
    }
}
