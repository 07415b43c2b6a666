// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageChannel.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace MessageChannel {

bool send(int socket, const void *data, std::size_t size, int descriptor)
{
    iovec vector = {const_cast<void *>(data), size};
    msghdr message = {};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (descriptor >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &descriptor, sizeof(int));
    }
    for (;;) {
        // MSG_NOSIGNAL: a peer that died is an error here, never a SIGPIPE for the process.
        const ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        return sent == ssize_t(size);
    }
}

bool receive(int socket, void *data, std::size_t size, int *descriptor)
{
    *descriptor = -1;
    iovec vector = {data, size};
    msghdr message = {};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    ssize_t got = -1;
    do
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    for (cmsghdr *header = got >= 0 ? CMSG_FIRSTHDR(&message) : nullptr; header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int received = -1;
            std::memcpy(&received, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            if (*descriptor < 0)
                *descriptor = received;
            else
                ::close(received);
        }
    }
    const bool whole = got == ssize_t(size) && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC));
    if (!whole && *descriptor >= 0) {
        ::close(*descriptor);
        *descriptor = -1;
    }
    return whole;
}

} // namespace MessageChannel
