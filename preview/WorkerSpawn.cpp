// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkerSpawn.h"

#include "WorkerProtocol.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

extern char **environ;

namespace WorkerSpawn {

Started start(const QString &path)
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return {};
    // The child's end goes to descriptor 3; never from 3 itself, whose close-on-exec would stay.
    if (ends[1] == WorkerProtocol::socketDescriptor) {
        const int moved = ::fcntl(ends[1], F_DUPFD_CLOEXEC, WorkerProtocol::socketDescriptor + 1);
        ::close(ends[1]);
        ends[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], WorkerProtocol::socketDescriptor);
    posix_spawn_file_actions_addclosefrom_np(&actions, WorkerProtocol::socketDescriptor + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const QByteArray program = QFile::encodeName(path);
    char *arguments[] = {const_cast<char *>(program.constData()), nullptr};
    pid_t pid = -1;
    const int error = ends[1] < 0 ? EBADF
                                  : ::posix_spawn(&pid, program.constData(), &actions, &attributes,
                                                  arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (ends[1] >= 0)
        ::close(ends[1]);
    if (error != 0) {
        ::close(ends[0]);
        return {};
    }
    return {pid, ends[0]};
}

} // namespace WorkerSpawn
