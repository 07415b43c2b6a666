// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The preview process's loop: one request at a time from `socket`, each answered before the
// next is read. Returns when the main process closes its end, or when the process has used
// enough CPU time that it steps down for a fresh one (the main process starts another).
namespace WorkerLoop {

int run(int socket);

} // namespace WorkerLoop
