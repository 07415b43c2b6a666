// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>
#include <utility>

// A minimal HTTP/1.1 server on 127.0.0.1 for the updater tests: one canned answer per path,
// every connection closed after its answer.
class LocalHttpServer final : public QObject
{
public:
    struct Route
    {
        int status = 200;
        QByteArray body{};
        QByteArray location{};     // sent as Location when not empty
        bool declareLength = true; // false: the body ends when the connection closes
        qint64 streamedBytes = 0;  // > 0: send this many filler bytes instead of body
        qint64 stallAfter = -1;    // >= 0: of those, send only this many, then nothing more
        bool hold = false;         // answer only when releaseHeld() is called, if ever
    };

    LocalHttpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onNewConnection);
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
    }
    void setRoute(const QByteArray &path, const Route &route) { m_routes.insert(path, route); }

    // Answers the requests waiting on held routes.
    void releaseHeld()
    {
        for (auto &[socket, route] : std::exchange(m_held, {})) {
            route.hold = false;
            answer(socket, route);
        }
    }

    int connectionCount() const { return m_connectionCount; }
    int openConnections() const { return m_openConnections; }
    QList<QByteArray> requestedPaths() const { return m_requestedPaths; }

private:
    static constexpr qint64 streamPiece = 64 * 1024;

    void onNewConnection()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connectionCount;
            ++m_openConnections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::bytesWritten, this,
                    [this, socket] { streamMore(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                --m_openConnections;
                m_streamLeft.remove(socket);
                m_requests.remove(socket);
                m_held.removeIf([socket](const auto &entry) { return entry.first == socket; });
                socket->deleteLater();
            });
        }
    }

    void onReadyRead(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
        m_requestedPaths.append(path);
        answer(socket, m_routes.value(path, Route{.status = 404}));
    }

    void answer(QTcpSocket *socket, const Route &route)
    {
        if (route.hold) {
            m_held.append({socket, route});
            return;
        }
        const qint64 length = route.streamedBytes > 0 ? route.streamedBytes : route.body.size();
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(route.status) + " Reply\r\nConnection: close\r\n";
        if (route.declareLength)
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        if (!route.location.isEmpty())
            head += "Location: " + route.location + "\r\n";
        socket->write(head + "\r\n");
        if (route.streamedBytes > 0) {
            m_streamLeft.insert(socket, route.stallAfter >= 0 ? route.stallAfter : length);
            socket->setProperty("stalls", route.stallAfter >= 0);
            streamMore(socket);
            return;
        }
        socket->write(route.body);
        socket->disconnectFromHost();
    }

    void streamMore(QTcpSocket *socket)
    {
        const auto left = m_streamLeft.find(socket);
        if (left == m_streamLeft.end())
            return;
        // Written piece by piece as the client reads, so a client that stops reading stops it.
        while (*left > 0 && socket->bytesToWrite() < streamPiece) {
            const qint64 piece = std::min(*left, streamPiece);
            socket->write(QByteArray(piece, 'x'));
            *left -= piece;
        }
        if (*left == 0 && !socket->property("stalls").toBool()) {
            m_streamLeft.erase(left);
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
    QList<QPair<QTcpSocket *, Route>> m_held;
    QHash<QTcpSocket *, qint64> m_streamLeft; // body bytes still to send
    QHash<QTcpSocket *, QByteArray> m_requests;
    QList<QByteArray> m_requestedPaths;
    int m_connectionCount = 0;
    int m_openConnections = 0;
};

Q_DECLARE_METATYPE(LocalHttpServer::Route)
