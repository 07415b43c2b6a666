// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>

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

QString SingleInstance::defaultName(QString *problem)
{
    // The session's private folder: no other user can listen there first, and two sessions
    // of one user do not meet.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(u'/'))
        return runtime + u"/mirel"_s;
    // Without one, a folder of the user's own, never a name in the shared temporary folder,
    // where another user could listen first: made private, and checked as it is found.
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/mirel"_s;
    const QString why = privateFolderProblem(folder);
    if (why.isEmpty())
        return folder + u"/instance"_s;
    if (problem)
        *problem = why;
    return {};
}

QString SingleInstance::privateFolderProblem(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    QDir().mkpath(QFileInfo(folder).path());
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return u"the folder \"%1\" cannot be made: %2"_s.arg(folder, qt_error_string(errno));
    struct stat attributes = {};
    if (::lstat(path.constData(), &attributes) != 0)
        return u"the folder \"%1\" cannot be read: %2"_s.arg(folder, qt_error_string(errno));
    if (!S_ISDIR(attributes.st_mode))
        return u"\"%1\" is not a folder"_s.arg(folder);
    if (attributes.st_uid != ::getuid())
        return u"the folder \"%1\" belongs to another user"_s.arg(folder);
    if ((attributes.st_mode & 077) != 0)
        return u"other users can open the folder \"%1\""_s.arg(folder);
    return {};
}

bool SingleInstance::becomePrimary()
{
    if (m_name.isEmpty())
        return true; // no private place for the socket: this Mirel runs on its own
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
