// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A minimal HTTP/1.1 server on 127.0.0.1 for the updater tests: one canned answer per path,
// every connection closed after its answer.
class LocalHttpServer final : public QObject
{
    Q_OBJECT

public:
    struct Route
    {
        int status = 200;
        QByteArray body;
        QByteArray location;       // sent as Location when not empty
        bool declareLength = true; // false: the body ends when the connection closes
        qint64 streamedBytes = 0;  // > 0: send this many filler bytes instead of body
        qint64 stallAfter = -1;    // >= 0: of those, send only this many, then nothing more
        bool hold = false;         // answer only when releaseHeld() is called
        bool silent = false;       // never answer
    };

    explicit LocalHttpServer(QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &path) const;
    void setRoute(const QByteArray &path, const Route &route);

    // Answers the requests waiting on held routes.
    void releaseHeld();

    int connectionCount() const { return m_connectionCount; }
    int openConnections() const { return m_openConnections; }
    QList<QByteArray> requestedPaths() const { return m_requestedPaths; }
    // Body bytes handed to the socket so far for streamed answers.
    qint64 streamedSoFar() const { return m_streamedSoFar; }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Route &route);
    void streamMore(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
    QList<QPair<QTcpSocket *, Route>> m_held;
    QHash<QTcpSocket *, qint64> m_streamLeft;
    QHash<QTcpSocket *, qint64> m_stallAt; // bytes left when a stalling answer stops sending
    QHash<QTcpSocket *, QByteArray> m_requests;
    QList<QByteArray> m_requestedPaths;
    int m_connectionCount = 0;
    int m_openConnections = 0;
    qint64 m_streamedSoFar = 0;
};

Q_DECLARE_METATYPE(LocalHttpServer::Route)
