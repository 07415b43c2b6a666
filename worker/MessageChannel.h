// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

// One message over a SOCK_SEQPACKET socket, with at most one descriptor riding along
// (SCM_RIGHTS). Used by both Mirel and its preview process.
namespace MessageChannel {

// Sends `size` bytes and, when `descriptor` >= 0, a copy of that descriptor. Retries on EINTR.
bool send(int socket, const void *data, std::size_t size, int descriptor = -1);

// Receives one message of exactly `size` bytes. A descriptor that came along is stored in
// `*descriptor` (close-on-exec), else -1 is stored; extra descriptors are closed. Returns false on
// end of stream, a short or truncated message, or an error.
bool receive(int socket, void *data, std::size_t size, int *descriptor);

} // namespace MessageChannel
