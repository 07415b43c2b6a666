// SPDX-License-Identifier: GPL-3.0-or-later
#include "LimitedChild.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace LimitedChild {

namespace {

constexpr int errorSlot = 4; // reports a failed exec back, closed by a successful one

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> result;
    result.reserve(strings.size() + 1);
    for (std::string &s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

void setLimit(int resource, rlim_t value)
{
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// Between fork and exec: only calls that are safe in the child of a threaded process.
[[noreturn]] void becomeChild(const Spawn &spawn, char *const *argv, char *const *envp, int devNull,
                              int errorPipe, pid_t parent)
{
    const int input = spawn.inputFd >= 0 ? fcntl(spawn.inputFd, F_DUPFD, 10) : -1;
    const int error = fcntl(errorPipe, F_DUPFD, 10);
    // Copied out of the way first: any of these may itself be 0 to 4.
    const int nothing = fcntl(devNull, F_DUPFD, 10);
    dup2(nothing, 0);
    dup2(nothing, 1);
    dup2(nothing, 2);
    dup2(input >= 0 ? input : nothing, inputSlot);
    dup2(error, errorSlot);
    fcntl(errorSlot, F_SETFD, FD_CLOEXEC);
    if (close_range(errorSlot + 1, ~0U, 0) != 0) {
        for (int fd = errorSlot + 1; fd < 65536; ++fd)
            close(fd);
    }
    // Its own process group, so that the deadline reaches everything it started.
    setsid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    if (spawn.noNewPrivileges)
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    setLimit(RLIMIT_CORE, 0);
    if (spawn.memoryLimit > 0)
        setLimit(RLIMIT_AS, rlim_t(spawn.memoryLimit));
    if (spawn.cpuSeconds > 0)
        setLimit(RLIMIT_CPU, rlim_t(spawn.cpuSeconds));
    if (spawn.fileSizeLimit > 0)
        setLimit(RLIMIT_FSIZE, rlim_t(spawn.fileSizeLimit));
    execve(argv[0], argv, envp);
    const int failure = errno;
    [[maybe_unused]] const ssize_t written = write(errorSlot, &failure, sizeof failure);
    _exit(127);
}

} // namespace

Ended run(Spawn spawn, std::chrono::milliseconds deadline, const CancelFlag &cancel)
{
    Ended ended;
    std::vector<char *> argv = pointers(spawn.arguments);
    std::vector<char *> envp = pointers(spawn.environment);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    int errorPipe[2];
    if (devNull < 0 || pipe2(errorPipe, O_CLOEXEC) != 0) {
        ended.startErrno = errno;
        if (devNull >= 0)
            close(devNull);
        return ended;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0)
        becomeChild(spawn, argv.data(), envp.data(), devNull, errorPipe[1], parent);
    close(devNull);
    close(errorPipe[1]);
    if (pid < 0) {
        ended.startErrno = errno;
        close(errorPipe[0]);
        return ended;
    }
    int failure = 0;
    ssize_t got = 0;
    do {
        got = read(errorPipe[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    ended.started = got != ssize_t(sizeof failure);
    ended.startErrno = ended.started ? 0 : failure;

    const auto end = Clock::now() + deadline;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        // Seen without reaping, so its process group id cannot be taken by another process
        // before the rest of the group is killed below.
        siginfo_t info{};
        const int waited = waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (waited == 0 && info.si_pid == pid)
            break;
        if (waited < 0 && errno != EINTR)
            break;
        if (Clock::now() >= end) {
            ended.timedOut = true;
            break;
        }
        if (cancel && cancel->load()) {
            ended.cancelled = true;
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL); // what it left running, or all of it at the deadline
    kill(pid, SIGKILL);
    while (waitpid(pid, &ended.status, 0) < 0 && errno == EINTR) {
    }
    return ended;
}

} // namespace LimitedChild
