// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewWorker.h"

#include <QtGlobal>

#include <chrono>
#include <string>
#include <vector>

// Runs a program (a desktop thumbnailer, or bubblewrap around one) as a child of Mirel's with
// limits of its own, and waits for it at most a deadline: the child is in a process group of its
// own, dies with Mirel, and the whole group is killed when it ends, times out or is cancelled.
// Safe to call from any thread of a threaded program.
namespace LimitedChild {

inline constexpr int inputSlot = 3; // the descriptor number the child gets its input on

struct Spawn
{
    std::vector<std::string> arguments; // the program's path first
    std::vector<std::string> environment;
    int inputFd = -1;       // given to the child as inputSlot; /dev/null when -1
    qint64 memoryLimit = 0; // address space, bytes; 0 for none
    int cpuSeconds = 0;
    qint64 fileSizeLimit = 0;
    bool noNewPrivileges = false;
};

struct Ended
{
    bool started = false;
    bool timedOut = false;
    bool cancelled = false;
    int status = 0; // as waitpid() gives it
    int startErrno = 0;
};

Ended run(Spawn spawn, std::chrono::milliseconds deadline, const CancelFlag &cancel = {});

} // namespace LimitedChild
