// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The limits the preview process puts on itself before it reads anything: run first thing in
// main(), while it is still single-threaded.
namespace Sandbox {

// Private data at most this large (heap and anonymous mappings; RLIMIT_DATA): a file that
// decodes to more is given up, the process dies and the main process starts another.
// Three of them at most run at once (see PreviewWorker), so together with Mirel they stay under
// a gigabyte whatever the files.
inline constexpr unsigned long long dataLimitBytes = 256ull * 1024 * 1024;
// CPU seconds over the process's whole life (RLIMIT_CPU, soft: SIGXCPU). The process retires
// itself well before this between two requests (see retireAfterCpuSeconds).
inline constexpr unsigned long cpuLimitSeconds = 60;
inline constexpr unsigned long retireAfterCpuSeconds = 30;

struct Report
{
    bool limits = false;       // RLIMIT_DATA, RLIMIT_CPU, RLIMIT_CORE and RLIMIT_NOFILE set
    bool noNewPrivs = false;   // PR_SET_NO_NEW_PRIVS
    bool netNamespace = false; // a network namespace of its own with no interface up
    bool socketFilter = false; // seccomp: no socket but AF_UNIX, no io_uring
};

Report apply();

// CPU seconds (user and system) this process has used so far.
double cpuSecondsUsed();

} // namespace Sandbox
