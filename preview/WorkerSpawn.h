// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <sys/types.h>

// Starting one preview process (PreviewWorker.h keeps the pool of them).
namespace WorkerSpawn {

struct Started
{
    pid_t pid = -1;  // -1 when it could not be started
    int socket = -1; // Mirel's end of the socket pair, close-on-exec
};

// The executable at `path`, started with the other end of a new socket pair as its descriptor 3
// and nothing else open beyond the standard three; default signal handling and an empty mask,
// whatever this process set.
Started start(const QString &path);

} // namespace WorkerSpawn
