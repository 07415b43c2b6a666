// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 streamPiece = 64 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

} // namespace

LocalHttpServer::LocalHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onNewConnection);
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url(const QString &path) const
{
    return QUrl(u"http://127.0.0.1:"_s + QString::number(port()) + path);
}

void LocalHttpServer::setRoute(const QByteArray &path, const Route &route)
{
    m_routes.insert(path, route);
}

void LocalHttpServer::releaseHeld()
{
    const auto held = std::exchange(m_held, {});
    for (const auto &[socket, route] : held) {
        Route answered = route;
        answered.hold = false;
        answer(socket, answered);
    }
}

void LocalHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++m_connectionCount;
        ++m_openConnections;
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { streamMore(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_openConnections;
            m_streamLeft.remove(socket);
            m_stallAt.remove(socket);
            m_requests.remove(socket);
            m_held.removeIf([socket](const auto &entry) { return entry.first == socket; });
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &request = m_requests[socket];
    request += socket->readAll();
    if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.value(1);
    m_requestedPaths.append(path);
    const auto route = m_routes.constFind(path);
    if (route == m_routes.constEnd()) {
        Route missing;
        missing.status = 404;
        missing.body = "not here";
        answer(socket, missing);
        return;
    }
    answer(socket, *route);
}

void LocalHttpServer::answer(QTcpSocket *socket, const Route &route)
{
    if (route.silent)
        return;
    if (route.hold) {
        m_held.append({socket, route});
        return;
    }
    const qint64 length = route.streamedBytes > 0 ? route.streamedBytes : route.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reason(route.status) +
                      "\r\nConnection: close\r\n";
    if (route.declareLength)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (!route.location.isEmpty())
        head += "Location: " + route.location + "\r\n";
    socket->write(head + "\r\n");
    if (route.streamedBytes > 0) {
        m_streamLeft.insert(socket, route.streamedBytes);
        if (route.stallAfter >= 0)
            m_stallAt.insert(socket, route.streamedBytes - route.stallAfter);
        streamMore(socket);
        return;
    }
    socket->write(route.body);
    socket->disconnectFromHost();
}

void LocalHttpServer::streamMore(QTcpSocket *socket)
{
    const auto left = m_streamLeft.find(socket);
    if (left == m_streamLeft.end())
        return;
    const qint64 stallAt = m_stallAt.value(socket, 0);
    // Written piece by piece as the client reads, so a client that stops reading stops it.
    while (*left > stallAt && socket->bytesToWrite() < streamPiece) {
        const qint64 piece = std::min(*left - stallAt, streamPiece);
        socket->write(QByteArray(piece, 'x'));
        *left -= piece;
        m_streamedSoFar += piece;
    }
    if (*left == 0) {
        m_streamLeft.erase(left);
        socket->disconnectFromHost();
    }
}
