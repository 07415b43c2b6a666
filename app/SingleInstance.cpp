// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int connectTimeoutMs = 1000;
const QByteArray openMessage = "open\n";
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{}

QString SingleInstance::defaultName()
{
    // The session's private folder: no other user can listen there first, and two sessions
    // of one user do not meet. A shared /tmp name only where there is no such folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(u'/'))
        return runtime + u"/mirel"_s;
    return u"mirel-"_s + QString::number(::getuid());
}

bool SingleInstance::becomePrimary()
{
    QLocalSocket other;
    other.connectToServer(m_name);
    if (other.waitForConnected(connectTimeoutMs)) {
        // In the shared temporary folder another user may listen first: only a Mirel of
        // this user is asked, and a socket of someone else's is neither answered nor removed.
        struct ucred peer = {};
        socklen_t size = sizeof peer;
        if (::getsockopt(int(other.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
                0 ||
            peer.uid != ::getuid()) {
            other.abort();
            return true;
        }
        other.write(openMessage);
        other.waitForBytesWritten(connectTimeoutMs);
        other.disconnectFromServer();
        return false;
    }
    // Nobody answered: a socket left by a Mirel that crashed is stale.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return true; // run anyway; only the second-launch shortcut is lost
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("open"))
                    emit openRequested();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}
